package quendril.utils;

import java.io.IOException;
import java.nio.channels.FileLock;
import java.nio.file.DirectoryNotEmptyException;
import java.nio.file.DirectoryStream;
import java.nio.file.Files;
import java.nio.file.LinkOption;
import java.nio.file.Path;
import java.nio.file.StandardOpenOption;
import java.nio.file.attribute.BasicFileAttributes;
import java.nio.file.attribute.FileTime;
import java.util.ArrayList;
import java.util.List;
import java.util.concurrent.TimeUnit;
import java.util.regex.Matcher;
import java.util.regex.Pattern;

/**
 * Removes what earlier runs of the loader left in the user's own places, at
 * most once a day per place: partial files of interrupted writes older than
 * a day, private copies whose process has ended, and other versions' folders
 * unused for 30 days that no live process holds. It reads every entry
 * without following links, and touches only plain files and folders with
 * the names the loader writes, owned by the user.
 */
final class CacheSweep {

    static final long DAY_MILLIS = TimeUnit.DAYS.toMillis(1);
    static final long UNUSED_MILLIS = TimeUnit.DAYS.toMillis(30);

    /** A version folder: the library's version and the start of the DLL's hash. */
    static final Pattern VERSION_FOLDER = Pattern.compile("(\\d+(?:\\.\\d+)*)-[0-9a-f]{16}");
    /** A private copy's folder, as {@link Files#createTempDirectory} names it. */
    static final Pattern PRIVATE_FOLDER = Pattern.compile(Pattern.quote(LoaderNames.PRIVATE_PREFIX) + "\\d+");
    /** A partial write, as {@link Files#createTempFile} names it. */
    static final Pattern PART = Pattern.compile(Pattern.quote(LoaderNames.PART_PREFIX) + "\\d+"
            + Pattern.quote(LoaderNames.PART_SUFFIX));

    private static final LinkOption NO_LINKS = LinkOption.NOFOLLOW_LINKS;

    private final FolderTrust trust;
    private final DebugLog log;
    private final long now;

    CacheSweep(FolderTrust trust, DebugLog log, long now) {
        this.trust = trust;
        this.log = log;
        this.now = now;
    }

    /** Marks {@code folder} used today, unless that was done within the day. */
    static void markUsed(Path folder, long now) {
        try {
            if (now - Files.getLastModifiedTime(folder, NO_LINKS).toMillis() > DAY_MILLIS) {
                Files.setLastModifiedTime(folder, FileTime.fromMillis(now));
            }
        } catch (IOException | SecurityException e) {
            // The folder only looks older than it is.
        }
    }

    /** Sweeps {@code place} unless that was done within the day or it is not the user's alone. */
    void sweepDaily(Path place) {
        Path stamp = place.resolve(LoaderNames.SWEEP_STAMP);
        boolean sweptToday = Files.exists(stamp, NO_LINKS) && !isOld(stamp, DAY_MILLIS);
        if (sweptToday || !Files.isDirectory(place, NO_LINKS)) {
            return;
        }
        String distrust = trust.distrust(place);
        if (distrust != null) {
            log.say("sweep: skipped (" + distrust + ")");
            return;
        }
        try {
            Files.newByteChannel(stamp, StandardOpenOption.CREATE, StandardOpenOption.WRITE, NO_LINKS).close();
            Files.setLastModifiedTime(stamp, FileTime.fromMillis(now));
        } catch (IOException | SecurityException e) {
            log.say("sweep: skipped (" + e + ")");
            return;
        }
        sweepCache(place);
        sweepPrivate(UserFolders.privateRoot(place));
    }

    /** Sweeps the version folders in {@code place}. */
    void sweepCache(Path place) {
        for (Path folder : folders(place, VERSION_FOLDER)) {
            Matcher name = VERSION_FOLDER.matcher(folder.getFileName().toString());
            if (name.matches() && name.group(1).equals(LoaderNames.jarVersion())) {
                removeOldParts(folder);
            } else if (isOld(folder, UNUSED_MILLIS)) {
                removeFolder(folder, LoaderNames.CACHE_LOCK, true);
            }
        }
    }

    /** Sweeps the private copies' folders in {@code root}. */
    void sweepPrivate(Path root) {
        for (Path folder : folders(root, PRIVATE_FOLDER)) {
            removeFolder(folder, LoaderNames.OWNER_LOCK, false);
        }
    }

    /** The plain folders in {@code parent} with names that match, owned like {@code parent}. */
    private List<Path> folders(Path parent, Pattern names) {
        List<Path> found = new ArrayList<>();
        if (!Files.isDirectory(parent, NO_LINKS)) {
            return found;
        }
        try (DirectoryStream<Path> entries = Files.newDirectoryStream(parent)) {
            for (Path entry : entries) {
                if (names.matcher(entry.getFileName().toString()).matches()) {
                    if (isPlain(entry, true) && trust.ownedAlike(entry, parent)) {
                        found.add(entry);
                    } else {
                        log.say("sweep: left " + entry + " (a link, junction or another's)");
                    }
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
            if (isPlain(lockFile, false)) {
                lock = InUseLock.tryExclusive(lockFile);
                if (lock == null) {
                    log.say("sweep: kept " + folder + " (in use by a running process)");
                    return;
                }
            } else if (!unlockedMayGo && !isOld(folder, DAY_MILLIS)) {
                return;
            }
            deleteFile(folder.resolve(LoaderNames.FILE_NAME));
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
                if (PART.matcher(entry.getFileName().toString()).matches() && isOld(entry, DAY_MILLIS)) {
                    deleteFile(entry);
                    log.say("sweep: removed " + entry);
                }
            }
        } catch (IOException | SecurityException e) {
            log.say("sweep: partial files in " + folder + " left: " + e);
        }
    }

    private boolean isOld(Path path, long age) {
        try {
            return now - Files.getLastModifiedTime(path, NO_LINKS).toMillis() > age;
        } catch (IOException e) {
            return false;
        }
    }

    private static boolean isPlain(Path path, boolean folder) {
        try {
            BasicFileAttributes attributes = Files.readAttributes(path, BasicFileAttributes.class, NO_LINKS);
            return folder ? FolderTrust.isPlainFolder(attributes) : FolderTrust.isPlainFile(attributes);
        } catch (IOException | SecurityException e) {
            return false;
        }
    }

    /** Deletes a plain file; leaves anything else (a link, a folder) alone. */
    private static void deleteFile(Path file) throws IOException {
        if (isPlain(file, false)) {
            Files.delete(file);
        }
    }
}
