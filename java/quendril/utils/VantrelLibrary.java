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
 * DLL for this JVM in a folder beside the jar ({@code win32-x86},
 * {@code win32-x86-64} or {@code win32-aarch64}), when it equals the jar's
 * copy; the jar's own copy, extracted into a folder of the user's own
 * ({@code quendril.vantrel.cache}, by default
 * {@code %LOCALAPPDATA%\Quendril\Vantrel}) and checked against its SHA-256
 * before every load; the file along {@code java.library.path} only when the
 * jar holds no copy for this JVM or {@code quendril.vantrel.extract=false}.
 * A file of the user's choice loads only when its header states this JVM's
 * machine and this jar's version. With {@code quendril.vantrel.debug=true}
 * each step is printed to standard error.
 *
 * <p>{@link Vantrel}'s class initialiser loads through this class, so its
 * error carries the same message as {@link #unavailabilityCause()}.
 */
public final class VantrelLibrary {

    private static final LoadOnce LIBRARY = new LoadOnce(new LoadOnce.Attempt() {
        @Override
        public String load() {
            return NativeLoader.forThisJvm().load();
        }
    });

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
    public static UnsatisfiedLinkError unavailabilityCause() {
        return LIBRARY.cause();
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
     *         it is not loaded
     */
    public static String location() {
        return LIBRARY.location();
    }
}
