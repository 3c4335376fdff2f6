package quendril.utils;

import java.util.ArrayList;
import java.util.List;

/**
 * Hands checked files to the JVM and keeps the record of every attempt, from
 * which the final error is written.
 */
final class LoadAttempts {

    /** The JVM's words when a class loader asks for a DLL file that another one holds. */
    private static final String CLASS_LOADER_CONFLICT = "already loaded in another classloader";

    private final LoadStep step;
    private final DebugLog log;
    private final long[] retryPausesMillis;
    private final List<String> tried = new ArrayList<>();
    /** Set once a path outside ASCII failed to load: such paths are not tried again. */
    private boolean asciiOnly;

    LoadAttempts(LoadStep step, DebugLog log, long[] retryPausesMillis) {
        this.step = step;
        this.log = log;
        this.retryPausesMillis = retryPausesMillis.clone();
    }

    /** Notes a candidate that was not loaded, and why. */
    void note(String attempt) {
        tried.add(attempt);
    }

    /** Whether {@code path} is still worth trying on this JVM. */
    boolean mayTry(String path) {
        return !asciiOnly || UserFolders.isAscii(path);
    }

    /**
     * Loads a checked file, trying again briefly when it fails, then lets it
     * go. A refusal because another class loader holds the file is final at
     * once, and so is any failure of a path outside ASCII, which this JVM
     * may not be able to load from at all.
     *
     * @return null when loaded, else the last failure (also noted)
     */
    UnsatisfiedLinkError load(HeldFile held) {
        try {
            String path = held.file().toString();
            boolean ascii = UserFolders.isAscii(path);
            for (int attempt = 0;; attempt++) {
                try {
                    step.load(path);
                    log.say("loaded " + path);
                    return null;
                } catch (UnsatisfiedLinkError e) {
                    if (!ascii || attempt == retryPausesMillis.length || isClassLoaderConflict(e)) {
                        note("System.load(\"" + path + "\")" + (attempt > 0 ? " (" + (attempt + 1) + " attempts)" : "")
                                + ": " + e.getMessage());
                        if (!ascii && !isClassLoaderConflict(e)) {
                            asciiOnly = true;
                            log.say("a path outside ASCII failed: only ASCII paths are tried from now on");
                        }
                        return e;
                    }
                    log.say("loading " + path + " failed (" + e.getMessage() + "); trying again");
                    Pause.sleep(retryPausesMillis[attempt]);
                }
            }
        } finally {
            held.close();
        }
    }

    /** The error naming what this JVM needs, every attempt and why it failed, and {@code note}. */
    UnsatisfiedLinkError failure(Platform platform, String note) {
        StringBuilder message = new StringBuilder("Cannot load " + LoaderNames.FILE_NAME + " for ")
                .append(platform.folder()).append(" (").append(platform.describe()).append("); tried:");
        for (String attempt : tried) {
            message.append(" [").append(attempt).append(']');
        }
        if (note != null) {
            message.append("; ").append(note);
        }
        return new UnsatisfiedLinkError(message.toString());
    }

    static boolean isClassLoaderConflict(UnsatisfiedLinkError e) {
        return e.getMessage() != null && e.getMessage().contains(CLASS_LOADER_CONFLICT);
    }
}
