package quendril.utils;

import java.io.IOException;
import java.nio.ByteBuffer;
import java.nio.channels.FileChannel;
import java.nio.channels.FileLock;
import java.nio.channels.OverlappingFileLockException;
import java.nio.charset.StandardCharsets;
import java.nio.file.LinkOption;
import java.nio.file.Path;
import java.nio.file.StandardOpenOption;
import java.util.ArrayList;
import java.util.List;

/**
 * Lock files that say a folder's DLL is in use. A process that loads a DLL
 * holds a shared lock on the lock file beside it for as long as it runs; the
 * sweep removes a folder only when it can take the lock exclusively. The
 * operating system drops a lock when its process ends, so a held lock proves
 * a live owner on every platform, whatever happened to the process.
 *
 * <p>The locked range lies past the end of the file, so that its text (the
 * owning process) stays readable where locks are mandatory.
 */
final class InUseLock {

    private static final long POSITION = Long.MAX_VALUE - 1;
    private static final long[] PAUSES_MILLIS = {10, 30, 60};

    // The channels behind the held locks: closing one, or letting it be
    // collected, would drop its lock.
    private static final List<FileChannel> HELD = new ArrayList<>();

    private InUseLock() {
    }

    /**
     * Holds a shared lock on {@code file}, creating it with {@code owner} as
     * its text when it is new, for the life of this class. A lock this JVM
     * already holds (from another class loader) counts as held. Waits only
     * briefly while a sweep holds the lock exclusively.
     *
     * @return false when the lock could not be had within about a tenth of a
     *         second: the folder may be on its way out
     */
    static boolean hold(Path file, String owner) throws IOException {
        FileChannel channel = FileChannel.open(file, StandardOpenOption.CREATE, StandardOpenOption.READ,
                StandardOpenOption.WRITE, LinkOption.NOFOLLOW_LINKS);
        boolean kept = false;
        try {
            if (owner != null && channel.size() == 0) {
                channel.write(ByteBuffer.wrap((owner + "\n").getBytes(StandardCharsets.UTF_8)));
            }
            for (int attempt = 0;; attempt++) {
                if (channel.tryLock(POSITION, 1, true) != null) {
                    synchronized (HELD) {
                        HELD.add(channel);
                    }
                    kept = true;
                    return true;
                }
                if (attempt == PAUSES_MILLIS.length) {
                    return false;
                }
                Pause.sleep(PAUSES_MILLIS[attempt]);
            }
        } catch (OverlappingFileLockException e) {
            return true;
        } finally {
            if (!kept) {
                channel.close();
            }
        }
    }

    /**
     * Takes {@code file}'s lock exclusively when no live process holds it.
     *
     * @return the lock, to be released once the files it guards are gone;
     *         null when the lock is held, by this JVM or another process
     */
    static FileLock tryExclusive(Path file) throws IOException {
        FileChannel channel = FileChannel.open(file, StandardOpenOption.READ, StandardOpenOption.WRITE,
                LinkOption.NOFOLLOW_LINKS);
        FileLock lock = null;
        try {
            lock = channel.tryLock(POSITION, 1, false);
            return lock;
        } catch (OverlappingFileLockException e) {
            return null;
        } finally {
            if (lock == null) {
                channel.close();
            }
        }
    }

    /** Releases a lock from {@link #tryExclusive} and closes its file. */
    static void release(FileLock lock) {
        try {
            lock.channel().close();
        } catch (IOException e) {
            // Closing drops the lock in any case.
        }
    }

    /**
     * This process's id, for the text of an owner lock. Asked of
     * {@code ProcessHandle} by name where Java 9 or later has it, else of
     * the runtime management bean, so that the loader needs no module
     * beyond {@code java.base}.
     */
    static String processId() {
        try {
            Class<?> handle = Class.forName("java.lang.ProcessHandle");
            Object current = handle.getMethod("current").invoke(null);
            return String.valueOf(handle.getMethod("pid").invoke(current));
        } catch (ReflectiveOperationException | RuntimeException | LinkageError e) {
            // Java 8: the bean's name is "<pid>@<host>".
        }
        try {
            Class<?> factory = Class.forName("java.lang.management.ManagementFactory");
            Object bean = factory.getMethod("getRuntimeMXBean").invoke(null);
            String name = (String) Class.forName("java.lang.management.RuntimeMXBean").getMethod("getName")
                    .invoke(bean);
            return name.substring(0, Math.max(0, name.indexOf('@')));
        } catch (ReflectiveOperationException | RuntimeException | LinkageError e) {
            return "unknown";
        }
    }
}
