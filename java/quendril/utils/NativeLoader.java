package quendril.utils;

import java.io.IOException;
import java.io.PrintStream;
import java.nio.file.Files;
import java.nio.file.InvalidPathException;
import java.nio.file.LinkOption;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.util.List;
import java.util.Map;
import java.util.Properties;
import java.util.regex.Pattern;

/**
 * Finds, checks and loads {@code Vantrel.dll}, trying in this order:
 * <ol>
 * <li>the file named by {@code quendril.vantrel.library}, when set, and
 * nothing else;</li>
 * <li>the DLL for this JVM beside the jar, when it equals the jar's copy;</li>
 * <li>the jar's copy in each of the user's places ({@link UserFolders}) in
 * turn: the copy there that later runs reuse, or a private copy of this
 * process where that copy cannot be trusted or another class loader holds
 * it;</li>
 * <li>the file along {@code java.library.path}, only when the jar holds no
 * copy for this JVM or {@code quendril.vantrel.extract=false}.</li>
 * </ol>
 * Every file is read through a handle that is kept open until it has loaded
 * (see {@link HeldFile}), and loaded only when it is the jar's copy (by its
 * SHA-256) or, for a file of the user's choice, a DLL for this JVM and this
 * version (by its header). On a JVM that no DLL of the jar serves it writes
 * nothing. Afterwards it sweeps what earlier runs left behind.
 *
 * <p>One instance makes one attempt. The system properties, the environment,
 * the jar's folder and the load step are given to it, so that every decision
 * can be exercised on any platform.
 */
final class NativeLoader {

    private final Properties properties;
    private final Path jarFolder;
    private final LoadStep step;
    private final DebugLog log;
    private final FolderTrust trust;
    private final UserFolders folders;

    /**
     * Pauses between attempts to load a file that failed to load (Windows
     * refuses a DLL that a security scanner has just opened): a few attempts
     * within about a second.
     */
    long[] retryPausesMillis = {100, 300, 600};

    /**
     * @param properties the system properties to decide by
     * @param environment the environment variables to find folders by
     * @param jarFolder the folder of the jar, or null
     * @param step what hands a file to the JVM
     * @param err where the debug output goes when {@code quendril.vantrel.debug=true}
     */
    NativeLoader(Properties properties, Map<String, String> environment, Path jarFolder, LoadStep step,
            PrintStream err) {
        this.properties = properties;
        this.jarFolder = jarFolder;
        this.step = step;
        this.log = new DebugLog("true".equalsIgnoreCase(properties.getProperty(LoaderNames.DEBUG_PROPERTY)) ? err
                : null);
        this.trust = new FolderTrust(properties);
        this.folders = new UserFolders(properties, environment, trust);
    }

    /** The loader of this JVM: its properties, environment and jar, the real load step. */
    static NativeLoader forThisJvm() {
        return new NativeLoader(System.getProperties(), System.getenv(), JarFiles.folder(), LoadStep.SYSTEM,
                System.err);
    }

    /**
     * Loads the library, or throws an UnsatisfiedLinkError that names every
     * attempt and why it failed.
     *
     * @return the absolute path of the file loaded
     */
    String load() {
        Platform platform = Platform.of(properties);
        log.say("platform: " + platform.describe() + " -> "
                + (platform.isSupported() ? platform.folder() : "no DLL of this jar serves it"));
        if (!platform.isSupported()) {
            throw new UnsatisfiedLinkError("Cannot load " + LoaderNames.FILE_NAME + ": " + platform.refusal());
        }
        LoadAttempts attempts = new LoadAttempts(step, log, retryPausesMillis);
        String explicit = property(LoaderNames.LIBRARY_PROPERTY);
        if (explicit != null) {
            return loadExplicit(platform, attempts, explicit);
        }
        if ("false".equalsIgnoreCase(property(LoaderNames.EXTRACT_PROPERTY))) {
            return loadFromLibraryPath(platform, attempts, LoaderNames.EXTRACT_PROPERTY + "=false");
        }
        String resource = platform.resource();
        byte[] dll;
        try {
            dll = JarFiles.read(resource);
        } catch (IOException e) {
            attempts.note("reading " + resource + " from the jar: " + e);
            throw attempts.failure(platform, null);
        }
        if (dll == null) {
            return loadFromLibraryPath(platform, attempts, "the jar holds no " + resource);
        }
        String hash = Sha256.hex(dll);
        log.say("the jar's " + resource + ": " + dll.length + " bytes, SHA-256 " + hash);
        String loaded = loadBesideJar(platform, attempts, hash);
        return loaded != null ? loaded : loadFromPlaces(platform, attempts, dll, hash);
    }

    private String loadExplicit(Platform platform, LoadAttempts attempts, String name) {
        try {
            Path file = Paths.get(name).toAbsolutePath();
            log.say("candidate: " + file + " (" + LoaderNames.LIBRARY_PROPERTY + "), nothing else");
            if (loadByHeader(platform, attempts, file, LoaderNames.LIBRARY_PROPERTY)) {
                return file.toString();
            }
        } catch (InvalidPathException e) {
            attempts.note(LoaderNames.LIBRARY_PROPERTY + "=" + name + ": " + e.getMessage());
        }
        throw attempts.failure(platform, LoaderNames.LIBRARY_PROPERTY + " is set, so nothing else was tried");
    }

    /** Loads the jar's copy from the first of the user's places that serves, then sweeps them. */
    private String loadFromPlaces(Platform platform, LoadAttempts attempts, byte[] dll, String hash) {
        List<Path> places = folders.places();
        try {
            PlaceCopies copies = new PlaceCopies(folders, trust, log, retryPausesMillis);
            for (Path place : places) {
                String loaded = loadInPlace(attempts, copies, dll, hash, place);
                if (loaded != null) {
                    return loaded;
                }
            }
            if (places.isEmpty()) {
                attempts.note("no folder of the user's own is known (set " + LoaderNames.CACHE_PROPERTY + ")");
            }
            throw attempts.failure(platform, advice(platform));
        } finally {
            sweep(places);
        }
    }

    /**
     * Loads the first {@code Vantrel.dll} along the boot, then the user
     * library path, as the JVM would find it, except in the current folder
     * (an empty or relative entry), from which Windows' search for a bare
     * name would take anyone's file.
     */
    private String loadFromLibraryPath(Platform platform, LoadAttempts attempts, String why) {
        String separator = properties.getProperty("path.separator", ";");
        for (String key : new String[] {"sun.boot.library.path", "java.library.path"}) {
            for (String folder : properties.getProperty(key, "").split(Pattern.quote(separator))) {
                Path file;
                try {
                    file = Paths.get(folder).resolve(LoaderNames.FILE_NAME);
                } catch (InvalidPathException e) {
                    continue; // not a folder the JVM searches either
                }
                if (!file.isAbsolute()) {
                    log.say(key + ": \"" + folder + "\" is not searched (the current folder)");
                } else if (Files.exists(file, LinkOption.NOFOLLOW_LINKS)) {
                    log.say("candidate: " + file + " on " + key + " (" + why + ")");
                    if (loadByHeader(platform, attempts, file, key)) {
                        return file.toString();
                    }
                    throw attempts.failure(platform, null);
                }
            }
        }
        attempts.note("java.library.path (" + why + "): no " + LoaderNames.FILE_NAME + " there");
        throw attempts.failure(platform, null);
    }

    /** Loads {@code file} when its header states this JVM's machine and this jar's version. */
    private boolean loadByHeader(Platform platform, LoadAttempts attempts, Path file, String source) {
        HeldFile held;
        try {
            held = HeldFile.open(file);
        } catch (IOException e) {
            attempts.note(source + ": " + file + " cannot be read: " + e);
            return false;
        }
        String mismatch = DllHeader.mismatch(held.bytes(), platform.machine(), LoaderNames.jarVersion());
        if (mismatch != null) {
            held.close();
            attempts.note(source + ": " + file + ": " + mismatch);
            return false;
        }
        return attempts.load(held) == null;
    }

    /** Loads the DLL for this JVM beside the jar when it equals the jar's copy. */
    private String loadBesideJar(Platform platform, LoadAttempts attempts, String hash) {
        if (jarFolder == null) {
            return null;
        }
        Path file = jarFolder.resolve(platform.besideJar());
        try {
            if (!Files.exists(file, LinkOption.NOFOLLOW_LINKS)) {
                return null;
            }
            HeldFile held = HeldFile.openIfMatches(file, hash);
            if (held == null) {
                attempts.note("beside the jar: " + file + ": its SHA-256 differs from the jar's copy");
                log.say("beside the jar: " + file + " differs from the jar's copy: passed over");
                return null;
            }
            log.say("beside the jar: " + file + " equals the jar's copy");
            return attempts.load(held) == null ? file.toString() : null;
        } catch (IOException e) {
            attempts.note("beside the jar: " + file + ": " + e);
            return null;
        }
    }

    /**
     * Loads the jar's copy in {@code place}: the copy there that later runs
     * reuse, else a private copy where that one is not trusted or another
     * class loader holds it. Null when Windows refused what was loaded here,
     * or nothing could be written.
     */
    private String loadInPlace(LoadAttempts attempts, PlaceCopies copies, byte[] dll, String hash, Path place) {
        if (!attempts.mayTry(place.toString())) {
            attempts.note(place + ": skipped, paths outside ASCII do not load on this JVM");
            return null;
        }
        log.say("candidate: the jar's copy in " + place);
        String unready = folders.ready(place);
        if (unready != null) {
            attempts.note(unready);
            return null;
        }
        try {
            HeldFile held = copies.shared(dll, hash, place);
            Path file = held.file();
            UnsatisfiedLinkError refused = attempts.load(held);
            if (refused == null) {
                CacheSweep.markUsed(file.getParent(), System.currentTimeMillis());
                return file.toString();
            }
            if (!LoadAttempts.isClassLoaderConflict(refused)) {
                return null;
            }
            log.say("another class loader holds " + file + ": loading a private copy");
        } catch (IOException | SecurityException | UnsupportedOperationException | InvalidPathException e) {
            attempts.note("cache in " + place + ": " + e.getMessage());
            log.say("the cache in " + place + " is not used (" + e.getMessage() + "): loading a private copy");
        }
        try {
            HeldFile held = copies.fresh(dll, hash, place);
            return attempts.load(held) == null ? held.file().toString() : null;
        } catch (IOException | SecurityException | UnsupportedOperationException | InvalidPathException e) {
            attempts.note("private copy in " + place + ": " + e.getMessage());
            return null;
        }
    }

    private void sweep(List<Path> places) {
        try {
            CacheSweep sweep = new CacheSweep(trust, log, System.currentTimeMillis());
            for (Path place : places) {
                sweep.sweepDaily(place);
            }
        } catch (RuntimeException e) {
            log.say("sweep stopped: " + e);
        }
    }

    /** What the user can do when no place of theirs can load the DLL. */
    private String advice(Platform platform) {
        return "where Windows allows programs only from certain folders, set " + LoaderNames.CACHE_PROPERTY
                + " to a folder of your own from which programs may run, or " + LoaderNames.LIBRARY_PROPERTY
                + " to an installed " + LoaderNames.FILE_NAME + ", or install " + platform.besideJar()
                + " beside the jar" + (jarFolder != null ? " in " + jarFolder : "");
    }

    /** A set, non-blank system property, or null. */
    private String property(String key) {
        String value = properties.getProperty(key);
        return value == null || value.trim().isEmpty() ? null : value;
    }
}
