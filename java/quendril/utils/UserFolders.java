package quendril.utils;

import java.io.IOException;
import java.nio.file.FileAlreadyExistsException;
import java.nio.file.Files;
import java.nio.file.InvalidPathException;
import java.nio.file.LinkOption;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.util.ArrayList;
import java.util.List;
import java.util.Map;
import java.util.Properties;

/**
 * The places the loader may write, all the user's own, and their layout:
 * in each place a folder per version and DLL ({@code <version>-<hash>}) that
 * later runs reuse, and a {@code private} folder for copies of one process.
 * Machine-wide folders are never used.
 */
final class UserFolders {

    private final Properties properties;
    private final Map<String, String> environment;
    private final FolderTrust trust;

    UserFolders(Properties properties, Map<String, String> environment, FolderTrust trust) {
        this.properties = properties;
        this.environment = environment;
        this.trust = trust;
    }

    /**
     * The places in order of preference: the folder named by
     * {@code quendril.vantrel.cache}; the per-user folder
     * ({@code %LOCALAPPDATA%\Quendril\Vantrel}, else under the home folder);
     * a folder in the user's own temporary folder when its path is ASCII and
     * the user's alone, for JVMs that cannot load from other paths.
     */
    List<Path> places() {
        List<Path> places = new ArrayList<>();
        add(places, property(LoaderNames.CACHE_PROPERTY));
        String local = environment.get("LOCALAPPDATA");
        if (local != null && !local.isEmpty()) {
            add(places, local, LoaderNames.LOCAL_APP_DATA_PLACE);
        } else {
            add(places, property("user.home"), LoaderNames.HOME_PLACE);
        }
        String temp = property("java.io.tmpdir");
        if (temp != null && isAscii(temp)) {
            Path folder = path(temp);
            if (folder != null && trust.distrust(folder) == null) {
                add(places, temp, LoaderNames.TEMP_PLACE);
            }
        }
        return places;
    }

    /** The folder for this jar's copy of a DLL of this hash in {@code place}. */
    static Path versionFolder(Path place, String hash) {
        return place.resolve(LoaderNames.jarVersion() + "-" + hash.substring(0, 16));
    }

    static Path privateRoot(Path place) {
        return place.resolve(LoaderNames.PRIVATE_FOLDER);
    }

    /**
     * Makes {@code folder} ready for the loader's files: a missing one is
     * created for the user alone, an existing one must be trusted.
     *
     * @return null when ready; else why not
     */
    String ready(Path folder) {
        if (!Files.exists(folder, LinkOption.NOFOLLOW_LINKS)) {
            try {
                Files.createDirectories(folder.getParent());
                trust.createOwnerOnly(folder, null);
            } catch (FileAlreadyExistsException e) {
                // Made by someone else meanwhile: judged below like any other.
            } catch (IOException | SecurityException | UnsupportedOperationException e) {
                return "cannot create " + folder + ": " + e;
            }
        }
        return trust.distrust(folder);
    }

    static boolean isAscii(String text) {
        for (int i = 0; i < text.length(); i++) {
            if (text.charAt(i) > 0x7F) {
                return false;
            }
        }
        return true;
    }

    private static void add(List<Path> places, String folder, String... children) {
        Path place = folder == null ? null : path(folder);
        if (place != null) {
            for (String child : children) {
                place = place.resolve(child);
            }
            if (!places.contains(place)) {
                places.add(place);
            }
        }
    }

    private static Path path(String folder) {
        try {
            Path path = Paths.get(folder).toAbsolutePath();
            return path.getParent() == null ? null : path;
        } catch (InvalidPathException e) {
            return null;
        }
    }

    /** A set, non-blank system property, or null. */
    private String property(String key) {
        String value = properties.getProperty(key);
        return value == null || value.trim().isEmpty() ? null : value;
    }
}
