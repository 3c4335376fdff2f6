package quendril.utils;

/**
 * The loader's names in one place: the library, its files and folders, and
 * the system properties that steer it. No other loader class spells them.
 */
final class LoaderNames {

    /** The library's file. */
    static final String FILE_NAME = "Vantrel.dll";
    /** The start of a partial write's name, as {@code Files.createTempFile} completes it. */
    static final String PART_PREFIX = "Vantrel";
    static final String PART_SUFFIX = ".part";

    static final String LIBRARY_PROPERTY = "quendril.vantrel.library";
    static final String CACHE_PROPERTY = "quendril.vantrel.cache";
    static final String EXTRACT_PROPERTY = "quendril.vantrel.extract";
    static final String DEBUG_PROPERTY = "quendril.vantrel.debug";

    /** Beside a cached DLL: held (shared) by every process that loaded it. */
    static final String CACHE_LOCK = "Vantrel.lock";
    /** Beside a private copy: held by its process, and naming it. */
    static final String OWNER_LOCK = "owner.lock";
    /** A place's folder for private copies. */
    static final String PRIVATE_FOLDER = "private";
    /** Private copies live in folders named this and a number, one per copy. */
    static final String PRIVATE_PREFIX = "vantrel-";
    /** In each place: its time of change is when that place was last swept. */
    static final String SWEEP_STAMP = "last-sweep";
    /** The per-user place under {@code %LOCALAPPDATA%}. */
    static final String[] LOCAL_APP_DATA_PLACE = {"Quendril", "Vantrel"};
    /** The per-user place under the home folder, where there is no {@code %LOCALAPPDATA%}. */
    static final String[] HOME_PLACE = {".cache", "quendril-vantrel"};
    /** The ASCII place under the user's own temporary folder. */
    static final String TEMP_PLACE = "quendril-vantrel";

    private LoaderNames() {
    }

    /** The version of this jar, which its DLLs' version records state. */
    static String jarVersion() {
        return VantrelVersion.TEXT;
    }
}
