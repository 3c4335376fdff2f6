package quendril.utils;

/**
 * Whether {@code Vantrel.dll} can serve this JVM, asked before any method of
 * {@link Vantrel} is called. The first question loads the library; the
 * answer then stays the same for the life of the class.
 *
 * <pre>{@code
 * if (VantrelLibrary.isAvailable()) {
 *     String cwd = Vantrel.getCurrentDirectory();
 * } else {
 *     log.warning("Windows services unavailable: " + VantrelLibrary.unavailabilityCause().getMessage());
 * }
 * }</pre>
 *
 * <p>The library is found in this order: the file named by the system
 * property {@code quendril.vantrel.library}, when set, and nothing else; the
 * jar's own copy for this JVM (32-bit or 64-bit x86 Windows), extracted into
 * a per-user cache folder ({@code quendril.vantrel.cache}, by default
 * {@code %LOCALAPPDATA%\Quendril\Vantrel}) and checked against its SHA-256;
 * {@code System.loadLibrary("Vantrel")} only when the jar holds no copy for
 * this JVM or {@code quendril.vantrel.extract=false}. With
 * {@code quendril.vantrel.debug=true} each step is printed to standard
 * error.
 *
 * <p>{@link Vantrel}'s class initialiser loads through this class, so its
 * error carries the same message as {@link #unavailabilityCause()}.
 */
public final class VantrelLibrary {

    private static boolean attempted;
    private static String location;
    private static UnsatisfiedLinkError cause;

    private VantrelLibrary() {
    }

    /**
     * Loads the library if that has not been tried yet. Never throws.
     *
     * @return true when the library is loaded and {@link Vantrel}'s methods
     *         can be called
     */
    public static boolean isAvailable() {
        return unavailabilityCause() == null;
    }

    /**
     * Why the library could not be loaded. Loads it if that has not been
     * tried yet. Never throws.
     *
     * @return the error whose message names every attempt and why it failed;
     *         null when the library is loaded
     */
    public static synchronized UnsatisfiedLinkError unavailabilityCause() {
        if (!attempted) {
            attempted = true;
            try {
                location = NativeLoader.forThisJvm().load();
            } catch (UnsatisfiedLinkError e) {
                cause = e;
            } catch (RuntimeException | LinkageError e) {
                cause = new UnsatisfiedLinkError("Cannot load " + NativeLoader.FILE_NAME + ": " + e);
                cause.initCause(e);
            }
        }
        return cause;
    }

    /**
     * Loads the library if that has not been tried yet, and fails if it
     * cannot be loaded.
     *
     * @throws UnsatisfiedLinkError with the message of
     *         {@link #unavailabilityCause()}, which is its cause
     */
    public static void ensureAvailable() {
        UnsatisfiedLinkError error = unavailabilityCause();
        if (error != null) {
            UnsatisfiedLinkError thrown = new UnsatisfiedLinkError(error.getMessage());
            thrown.initCause(error);
            throw thrown;
        }
    }

    /**
     * Where the loaded library came from. Loads it if that has not been
     * tried yet. Never throws.
     *
     * @return the absolute path of the loaded {@code Vantrel.dll}; null when
     *         it is not loaded, or when {@code System.loadLibrary} loaded it
     *         from a folder that cannot be told
     */
    public static synchronized String location() {
        unavailabilityCause();
        return location;
    }
}
