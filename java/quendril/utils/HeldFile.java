package quendril.utils;

import java.io.Closeable;
import java.io.FileInputStream;
import java.io.IOException;
import java.nio.ByteBuffer;
import java.nio.channels.FileChannel;
import java.nio.file.Files;
import java.nio.file.LinkOption;
import java.nio.file.OpenOption;
import java.nio.file.Path;
import java.nio.file.StandardOpenOption;
import java.nio.file.attribute.BasicFileAttributes;
import java.util.ArrayList;
import java.util.List;

/**
 * A file opened for checking and kept open until it has been loaded, so that
 * what was checked is what loads. On Windows the file is opened with sharing
 * for reading only: while it is held nobody can write, rename or delete it,
 * nor rename a folder above it, yet Windows' loader can still map it. Other
 * systems have no sharing modes; there the folder checks of
 * {@link FolderTrust} carry the whole weight.
 */
final class HeldFile implements Closeable {

    /**
     * Windows' sharing options ({@code com.sun.nio.file.ExtendedOpenOption}),
     * looked up by name so that the loader needs no module beyond
     * {@code java.base}; empty where the JDK lacks them or its module graph
     * does not hold {@code jdk.unsupported} (a jlinked runtime without it).
     */
    private static final List<OpenOption> DENY_WRITE_AND_DELETE = sharingOptions("NOSHARE_WRITE", "NOSHARE_DELETE");

    private final Path file;
    private final FileChannel channel;
    private final byte[] bytes;
    /** Whether others are kept from changing the file while it is held. */
    final boolean guarded;

    private HeldFile(Path file, FileChannel channel, byte[] bytes, boolean guarded) {
        this.file = file;
        this.channel = channel;
        this.bytes = bytes;
        this.guarded = guarded;
    }

    /** {@code file}, held, when it exists and its SHA-256 is {@code hash}; else null. */
    static HeldFile openIfMatches(Path file, String hash) throws IOException {
        if (!Files.exists(file, LinkOption.NOFOLLOW_LINKS)) {
            return null;
        }
        HeldFile held = open(file);
        if (hash.equals(Sha256.hex(held.bytes))) {
            return held;
        }
        held.close();
        return null;
    }

    /** Opens {@code file} (not through a link) and reads it whole. */
    static HeldFile open(Path file) throws IOException {
        BasicFileAttributes read = Files.readAttributes(file, BasicFileAttributes.class, LinkOption.NOFOLLOW_LINKS);
        if (!FolderTrust.isPlainFile(read)) {
            throw new IOException(file + " is not a plain file (a link, junction or folder is not followed)");
        }
        FileChannel channel;
        boolean guarded = true;
        if (DENY_WRITE_AND_DELETE.isEmpty()) {
            // Without them (a JDK whose module graph lacks jdk.unsupported),
            // Windows opens a FileInputStream sharing reading and writing
            // only: the file cannot be deleted or renamed while held.
            channel = new FileInputStream(file.toFile()).getChannel();
            guarded = false;
        } else {
            List<OpenOption> options = new ArrayList<>(DENY_WRITE_AND_DELETE);
            options.add(StandardOpenOption.READ);
            options.add(LinkOption.NOFOLLOW_LINKS);
            try {
                channel = FileChannel.open(file, options.toArray(new OpenOption[0]));
            } catch (UnsupportedOperationException e) {
                // A file system without sharing modes.
                channel = FileChannel.open(file, StandardOpenOption.READ, LinkOption.NOFOLLOW_LINKS);
                guarded = false;
            }
        }
        try {
            long size = channel.size();
            if (size > Integer.MAX_VALUE) {
                throw new IOException(file + " is too large for a DLL");
            }
            ByteBuffer buffer = ByteBuffer.allocate((int) size);
            while (buffer.hasRemaining() && channel.read(buffer, buffer.position()) > 0) {
                // The position advances as bytes arrive.
            }
            if (buffer.hasRemaining()) {
                throw new IOException(file + " became shorter while it was read");
            }
            return new HeldFile(file.toAbsolutePath(), channel, buffer.array(), guarded);
        } catch (IOException | RuntimeException | Error e) {
            channel.close();
            throw e;
        }
    }

    /** The file, as an absolute path. */
    Path file() {
        return file;
    }

    /** The file's content as it was read through the held handle. */
    byte[] bytes() {
        return bytes;
    }

    /** Lets the file go; closing a read handle loses nothing, so this never fails. */
    @Override
    public void close() {
        try {
            channel.close();
        } catch (IOException e) {
            // The handle is gone either way.
        }
    }

    private static List<OpenOption> sharingOptions(String... names) {
        List<OpenOption> options = new ArrayList<>();
        try {
            Class<?> type = Class.forName("com.sun.nio.file.ExtendedOpenOption");
            for (String name : names) {
                options.add((OpenOption) type.getField(name).get(null));
            }
        } catch (ReflectiveOperationException | RuntimeException | LinkageError e) {
            options.clear();
        }
        return options;
    }
}
