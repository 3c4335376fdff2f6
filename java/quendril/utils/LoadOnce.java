package quendril.utils;

/**
 * One attempt to load the library, made on first demand, and its outcome
 * for the life of the class: the file loaded, or why nothing was.
 */
final class LoadOnce {

    /** What loads the library: returns the file loaded, or throws why not. */
    interface Attempt {
        String load();
    }

    private final Attempt attempt;
    private boolean attempted;
    private String location;
    private UnsatisfiedLinkError cause;

    LoadOnce(Attempt attempt) {
        this.attempt = attempt;
    }

    /** Why the library is not loaded, or null when it is; makes the attempt first if need be. */
    synchronized UnsatisfiedLinkError cause() {
        if (!attempted) {
            try {
                location = attempt.load();
            } catch (UnsatisfiedLinkError e) {
                cause = e;
            } catch (Throwable e) {
                // Whatever broke the attempt (an OutOfMemoryError included)
                // leaves the library unavailable, for that reason.
                cause = new UnsatisfiedLinkError("Cannot load " + LoaderNames.FILE_NAME + ": " + e);
                cause.initCause(e);
            }
            attempted = true;
        }
        return cause;
    }

    /** The file loaded, or null; makes the attempt first if need be. */
    synchronized String location() {
        return cause() == null ? location : null;
    }
}
