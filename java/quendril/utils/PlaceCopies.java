package quendril.utils;

import java.io.IOException;
import java.nio.file.AtomicMoveNotSupportedException;
import java.nio.file.FileAlreadyExistsException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.StandardCopyOption;
import java.nio.file.StandardOpenOption;

/**
 * Puts the jar's copy of the DLL into one of the user's places and hands it
 * back held (see {@link HeldFile}): the copy later runs reuse, or a private
 * copy of this process. Each fails with an IOException saying why.
 */
final class PlaceCopies {

    private final UserFolders folders;
    private final FolderTrust trust;
    private final DebugLog log;
    private final long[] retryPausesMillis;

    PlaceCopies(UserFolders folders, FolderTrust trust, DebugLog log, long[] retryPausesMillis) {
        this.folders = folders;
        this.trust = trust;
        this.log = log;
        this.retryPausesMillis = retryPausesMillis.clone();
    }

    /**
     * The copy in {@code place} that later runs reuse: the one there when
     * its hash checks out, else one written now; its folder marked in use.
     * Fails when the folder or file is not the user's alone.
     */
    HeldFile shared(byte[] dll, String hash, Path place) throws IOException {
        Path folder = UserFolders.versionFolder(place, hash);
        Path file = folder.resolve(LoaderNames.FILE_NAME);
        refuse(folders.ready(folder));
        boolean inUse;
        try {
            inUse = InUseLock.hold(folder.resolve(LoaderNames.CACHE_LOCK), null);
        } catch (IOException e) {
            // A read-only cache prepared beforehand still serves.
            log.say("cannot mark " + folder + " in use: " + e);
            inUse = true;
        }
        if (!inUse) {
            throw new IOException("a sweep is removing " + folder);
        }
        HeldFile held = HeldFile.openIfMatches(file, hash);
        if (held == null) {
            Path partial = Files.createTempFile(folder, LoaderNames.PART_PREFIX, LoaderNames.PART_SUFFIX);
            try {
                Files.write(partial, dll);
                moveIntoPlace(partial, file, hash);
            } finally {
                Files.deleteIfExists(partial);
            }
            held = HeldFile.openIfMatches(file, hash);
            if (held == null) {
                throw new IOException(file + " does not match the jar's copy");
            }
            log.say("wrote " + file);
        }
        return checked(held);
    }

    /**
     * A new private copy in {@code place}: in a folder of its own under the
     * place's {@code private} folder, for the user alone, with a lock file
     * that names this process and marks the copy in use while it lives.
     */
    HeldFile fresh(byte[] dll, String hash, Path place) throws IOException {
        Path root = UserFolders.privateRoot(place);
        refuse(folders.ready(root));
        Path folder = trust.createOwnerOnly(root, LoaderNames.PRIVATE_PREFIX);
        InUseLock.hold(folder.resolve(LoaderNames.OWNER_LOCK), InUseLock.processId());
        Path copy = folder.resolve(LoaderNames.FILE_NAME);
        Files.write(copy, dll, StandardOpenOption.CREATE_NEW, StandardOpenOption.WRITE);
        refuse(trust.distrust(folder));
        HeldFile held = HeldFile.openIfMatches(copy, hash);
        if (held == null) {
            throw new IOException(copy + " does not match the jar's copy");
        }
        log.say("private copy " + copy + " for process " + InUseLock.processId());
        return checked(held);
    }

    private HeldFile checked(HeldFile held) throws IOException {
        log.say(held.file() + ": SHA-256 checks out" + (held.guarded ? ", held against changes until loaded" : ""));
        String distrust = trust.distrust(held.file());
        if (distrust != null) {
            held.close();
            refuse(distrust);
        }
        return held;
    }

    /** Fails with {@code why}, unless it is null. */
    private static void refuse(String why) throws IOException {
        if (why != null) {
            throw new IOException(why);
        }
    }

    /**
     * Puts the whole copy at {@code partial} in place. A good copy already
     * there, perhaps another process's that it is loading, stays as it is;
     * only a damaged or altered one is replaced. The name is taken without
     * replacing first, so that a copy another process put there a moment
     * ago, and may be loading, is judged before anything replaces it.
     */
    private void moveIntoPlace(Path partial, Path target, String hash) throws IOException {
        for (int attempt = 0;; attempt++) {
            try {
                if (placedAnew(partial, target)) {
                    return;
                }
                HeldFile theirs = HeldFile.openIfMatches(target, hash);
                if (theirs != null) {
                    theirs.close();
                    return;
                }
                try {
                    Files.move(partial, target, StandardCopyOption.REPLACE_EXISTING, StandardCopyOption.ATOMIC_MOVE);
                } catch (AtomicMoveNotSupportedException e) {
                    Files.move(partial, target, StandardCopyOption.REPLACE_EXISTING);
                }
                return;
            } catch (IOException e) {
                // Windows holds the file for a moment, or another process
                // is replacing a damaged copy too.
                if (attempt == retryPausesMillis.length) {
                    throw e;
                }
                log.say("putting " + partial + " in place failed (" + e + "); trying again");
                Pause.sleep(retryPausesMillis[attempt]);
            }
        }
    }

    /** Gives {@code partial} the name {@code target} unless a file has it; false when one has. */
    private static boolean placedAnew(Path partial, Path target) throws IOException {
        try {
            if (!linked(partial, target)) {
                Files.move(partial, target);
            }
            return true;
        } catch (FileAlreadyExistsException e) {
            return false;
        }
    }

    /** Gives {@code partial} the new name {@code target}; false where the file system has no hard links. */
    private static boolean linked(Path partial, Path target) throws IOException {
        try {
            Files.createLink(target, partial);
            return true;
        } catch (FileAlreadyExistsException e) {
            throw e;
        } catch (IOException | UnsupportedOperationException e) {
            return false;
        }
    }
}
