package quendril.utils;

import java.io.IOException;
import java.nio.channels.FileLock;
import java.nio.file.DirectoryNotEmptyException;
import java.nio.file.DirectoryStream;
import java.nio.file.Files;
import java.nio.file.LinkOption;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.concurrent.TimeUnit;
import java.util.regex.Matcher;
import java.util.regex.Pattern;

/**
 * Removes what earlier runs of the loader left behind: partial files of
 * interrupted writes older than a day, private copies whose process has
 * ended, and cache folders of other versions that no live process holds. It
 * touches only names the loader writes, only inside the folders it creates,
 * and never follows a link.
 */
final class CacheSweep {

    static final long PART_AGE_MILLIS = TimeUnit.DAYS.toMillis(1);

    /** A cache folder: the library's version and the start of the DLL's hash. */
    static final Pattern VERSION_FOLDER = Pattern.compile("(\\d+(?:\\.\\d+)*)-[0-9a-f]{16}");
    /** A private copy's folder, as {@link Files#createTempDirectory} names it. */
    static final Pattern PRIVATE_FOLDER = Pattern.compile(NativeLoader.PRIVATE_PREFIX + "\\d+");
    /** A partial write, as {@link Files#createTempFile} names it. */
    static final Pattern PART = Pattern.compile(NativeLoader.LIBRARY + "\\d+\\.part");

    private static final LinkOption NO_LINKS = LinkOption.NOFOLLOW_LINKS;

    private final String version;
    private final DebugLog log;
    private final long now;

    CacheSweep(String version, DebugLog log, long now) {
        this.version = version;
        this.log = log;
        this.now = now;
    }

    /** Sweeps the version folders in the cache {@code base}. */
    void sweepCache(Path base) {
        for (Path folder : folders(base, VERSION_FOLDER)) {
            Matcher name = VERSION_FOLDER.matcher(folder.getFileName().toString());
            if (name.matches() && name.group(1).equals(version)) {
                removeOldParts(folder);
            } else {
                removeFolder(folder, NativeLoader.CACHE_LOCK, true);
            }
        }
    }

    /** Sweeps the private copies' folders in {@code root}. */
    void sweepPrivate(Path root) {
        for (Path folder : folders(root, PRIVATE_FOLDER)) {
            removeFolder(folder, NativeLoader.OWNER_LOCK, false);
        }
    }

    private List<Path> folders(Path parent, Pattern names) {
        List<Path> found = new ArrayList<>();
        if (parent == null || !Files.isDirectory(parent, NO_LINKS)) {
            return found;
        }
        try (DirectoryStream<Path> entries = Files.newDirectoryStream(parent)) {
            for (Path entry : entries) {
                if (names.matcher(entry.getFileName().toString()).matches() && Files.isDirectory(entry, NO_LINKS)) {
                    found.add(entry);
                }
            }
        } catch (IOException | SecurityException e) {
            log.say("sweep: cannot list " + parent + ": " + e);
        }
        return found;
    }

    /**
     * Removes {@code folder} unless a live process holds its lock file. A
     * cache folder without one (written by an older loader) goes when its
     * DLL can be deleted, which Windows refuses while a process has it
     * loaded; a private folder without one (its owner ended before locking
     * it) goes once it is a day old.
     */
    private void removeFolder(Path folder, String lockName, boolean unlockedMayGo) {
        Path lockFile = folder.resolve(lockName);
        FileLock lock = null;
        try {
            if (Files.isRegularFile(lockFile, NO_LINKS)) {
                lock = InUseLock.tryExclusive(lockFile);
                if (lock == null) {
                    log.say("sweep: kept " + folder + " (in use by a running process)");
                    return;
                }
            } else if (!unlockedMayGo && !isOld(folder)) {
                return;
            }
            deleteFile(folder.resolve(NativeLoader.FILE_NAME));
            removeOldParts(folder);
        } catch (IOException | SecurityException e) {
            log.say("sweep: kept " + folder + " (" + e + ")");
            return;
        } finally {
            if (lock != null) {
                InUseLock.release(lock);
            }
        }
        try {
            deleteFile(lockFile);
            Files.delete(folder);
            log.say("sweep: removed " + folder);
        } catch (DirectoryNotEmptyException e) {
            log.say("sweep: kept " + folder + " (it holds files the loader did not write)");
        } catch (IOException | SecurityException e) {
            log.say("sweep: kept " + folder + " (" + e + ")");
        }
    }

    private void removeOldParts(Path folder) {
        try (DirectoryStream<Path> entries = Files.newDirectoryStream(folder)) {
            for (Path entry : entries) {
                if (PART.matcher(entry.getFileName().toString()).matches() && isOld(entry)) {
                    deleteFile(entry);
                    log.say("sweep: removed " + entry);
                }
            }
        } catch (IOException | SecurityException e) {
            log.say("sweep: partial files in " + folder + " left: " + e);
        }
    }

    private boolean isOld(Path path) {
        try {
            return now - Files.getLastModifiedTime(path, NO_LINKS).toMillis() > PART_AGE_MILLIS;
        } catch (IOException e) {
            return false;
        }
    }

    /** Deletes a regular file; leaves anything else (a link, a folder) alone. */
    private static void deleteFile(Path file) throws IOException {
        if (Files.isRegularFile(file, NO_LINKS)) {
            Files.delete(file);
        }
    }
}
