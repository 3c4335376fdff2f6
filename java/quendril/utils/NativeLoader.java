package quendril.utils;

import java.io.ByteArrayOutputStream;
import java.io.File;
import java.io.IOException;
import java.io.InputStream;
import java.io.PrintStream;
import java.lang.management.ManagementFactory;
import java.nio.file.AtomicMoveNotSupportedException;
import java.nio.file.Files;
import java.nio.file.InvalidPathException;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.nio.file.StandardCopyOption;
import java.nio.file.StandardOpenOption;
import java.nio.file.attribute.FileAttribute;
import java.nio.file.attribute.PosixFilePermission;
import java.nio.file.attribute.PosixFilePermissions;
import java.security.MessageDigest;
import java.security.NoSuchAlgorithmException;
import java.util.ArrayList;
import java.util.List;
import java.util.Map;
import java.util.Properties;
import java.util.Set;

/**
 * Finds and loads {@code Vantrel.dll}, in this order:
 * <ol>
 * <li>the file named by {@code quendril.vantrel.library}, when set, and
 * nothing else;</li>
 * <li>the jar's copy for this JVM, extracted into a per-user cache folder
 * named by the library's version and the DLL's hash (the folder named by
 * {@code quendril.vantrel.cache}, by default
 * {@code %LOCALAPPDATA%\Quendril\Vantrel}) and reused once its SHA-256 checks
 * out; a private copy where the cache cannot serve;</li>
 * <li>{@code System.loadLibrary("Vantrel")}, only when the jar holds no copy
 * for this JVM or {@code quendril.vantrel.extract=false}.</li>
 * </ol>
 * On a JVM that no DLL of the jar serves it writes nothing. Afterwards it
 * sweeps what earlier runs left behind.
 *
 * <p>One instance makes one attempt. The system properties, the environment
 * and the load step are given to it, so that every decision can be
 * exercised on any platform.
 */
final class NativeLoader {

    static final String LIBRARY = "Vantrel";
    static final String FILE_NAME = "Vantrel.dll";

    static final String LIBRARY_PROPERTY = "quendril.vantrel.library";
    static final String CACHE_PROPERTY = "quendril.vantrel.cache";
    static final String EXTRACT_PROPERTY = "quendril.vantrel.extract";
    static final String DEBUG_PROPERTY = "quendril.vantrel.debug";

    /** Beside a cached DLL: held (shared) by every process that loaded it. */
    static final String CACHE_LOCK = "Vantrel.lock";
    /** Beside a private copy: held by its process, and naming it. */
    static final String OWNER_LOCK = "owner.lock";
    /** Private copies live in folders named this and a number, one per copy. */
    static final String PRIVATE_PREFIX = "vantrel-";
    /** The cache's own folder for private copies. */
    static final String PRIVATE_FOLDER = "private";

    /** The JVM's words when a class loader asks for a DLL file that another one holds. */
    private static final String CLASS_LOADER_CONFLICT = "already loaded in another classloader";

    private final Properties properties;
    private final Map<String, String> environment;
    private final LoadStep step;
    private final DebugLog log;
    private final List<String> tried = new ArrayList<>();

    /**
     * Pauses between attempts to load a file that failed to load (Windows
     * refuses a DLL that a security scanner has just opened): a few attempts
     * within about a second.
     */
    long[] retryPausesMillis = {100, 300, 600};

    /**
     * @param properties the system properties to decide by
     * @param environment the environment variables to find folders by
     * @param step what hands a file to the JVM
     * @param err where the debug output goes when {@code quendril.vantrel.debug=true}
     */
    NativeLoader(Properties properties, Map<String, String> environment, LoadStep step, PrintStream err) {
        this.properties = properties;
        this.environment = environment;
        this.step = step;
        this.log = new DebugLog("true".equalsIgnoreCase(properties.getProperty(DEBUG_PROPERTY)) ? err : null);
    }

    /** The loader of this JVM: its properties and environment, the real load step. */
    static NativeLoader forThisJvm() {
        return new NativeLoader(System.getProperties(), System.getenv(), LoadStep.SYSTEM, System.err);
    }

    /**
     * Loads the library, or throws an UnsatisfiedLinkError that names every
     * attempt and why it failed.
     *
     * @return the absolute path of the file loaded; for a library found on
     *         {@code java.library.path}, the file there, or null if it
     *         cannot be told
     */
    String load() {
        Platform platform = Platform.of(properties);
        log.say("platform: " + platform.describe() + " -> "
                + (platform.isSupported() ? platform.folder() : "no DLL of this jar serves it"));
        String explicit = property(LIBRARY_PROPERTY);
        if (explicit != null) {
            return loadExplicit(platform, explicit);
        }
        if (!platform.isSupported()) {
            throw new UnsatisfiedLinkError("Cannot load " + FILE_NAME + ": " + platform.refusal());
        }
        if ("false".equalsIgnoreCase(property(EXTRACT_PROPERTY))) {
            return loadFromLibraryPath(platform, EXTRACT_PROPERTY + "=false");
        }
        String resource = platform.resource();
        byte[] dll;
        try {
            dll = readResource(resource);
        } catch (IOException e) {
            tried.add("reading " + resource + " from the jar: " + e);
            throw failure(platform, null);
        }
        if (dll == null) {
            return loadFromLibraryPath(platform, "the jar holds no " + resource);
        }
        Path base = cacheBase();
        try {
            return loadJarCopy(platform, dll, base);
        } finally {
            sweep(base);
        }
    }

    private String loadExplicit(Platform platform, String name) {
        Path file;
        try {
            file = Paths.get(name).toAbsolutePath();
        } catch (InvalidPathException e) {
            tried.add(LIBRARY_PROPERTY + "=" + name + ": " + e.getMessage());
            throw failure(platform, LIBRARY_PROPERTY + " is set, so nothing else was tried");
        }
        log.say("candidate: " + file + " (" + LIBRARY_PROPERTY + "), nothing else");
        if (attemptLoad(file) == null) {
            return file.toString();
        }
        throw failure(platform, LIBRARY_PROPERTY + " is set, so nothing else was tried");
    }

    private String loadFromLibraryPath(Platform platform, String why) {
        log.say("candidate: System.loadLibrary(\"" + LIBRARY + "\") from java.library.path (" + why + ")");
        try {
            step.loadLibrary(LIBRARY);
        } catch (UnsatisfiedLinkError e) {
            tried.add("System.loadLibrary(\"" + LIBRARY + "\") (" + why + "): " + e.getMessage());
            throw failure(platform, null);
        }
        String found = findOnLibraryPath();
        log.say("loaded " + (found != null ? found : LIBRARY + " from java.library.path"));
        return found;
    }

    private String loadJarCopy(Platform platform, byte[] dll, Path base) {
        String hash = sha256(dll);
        log.say("candidate: the jar's " + platform.resource() + " (" + dll.length + " bytes, SHA-256 " + hash
                + ") through the cache " + base + ", else a private copy");
        Path cached = null;
        if (base == null) {
            tried.add("cache: no per-user folder is known (set " + CACHE_PROPERTY + ")");
        } else {
            cached = extract(dll, hash, base);
        }
        boolean asciiOnly = false;
        if (cached != null) {
            UnsatisfiedLinkError refused = attemptLoad(cached);
            if (refused == null) {
                return cached.toString();
            }
            if (refused.getMessage() != null && refused.getMessage().contains(CLASS_LOADER_CONFLICT)) {
                log.say("another class loader holds " + cached + ": loading a private copy");
            } else if (isAscii(cached.toString())) {
                throw failure(platform, null);
            } else {
                log.say("the cache path is not ASCII: loading a private copy from an ASCII path");
                asciiOnly = true;
            }
        }
        List<Path> roots = new ArrayList<>();
        for (Path root : privateRoots(cached == null ? null : base)) {
            if (!asciiOnly || isAscii(root.toString())) {
                roots.add(root);
            }
        }
        String loaded = loadPrivateCopy(dll, hash, roots);
        if (loaded != null) {
            return loaded;
        }
        throw failure(platform, null);
    }

    /**
     * Loads a private copy from the first of {@code roots} where one can be
     * written; moves on to the next only when writing failed there or the
     * copy's path, outside ASCII, may be why it did not load.
     */
    private String loadPrivateCopy(byte[] dll, String hash, List<Path> roots) {
        for (Path root : roots) {
            Path copy = privateCopy(dll, hash, root);
            if (copy != null) {
                if (attemptLoad(copy) == null) {
                    return copy.toString();
                }
                if (isAscii(copy.toString())) {
                    return null;
                }
            }
        }
        if (roots.isEmpty()) {
            tried.add("private copy: no folder for one is known");
        }
        return null;
    }

    /**
     * Gives the cached copy of {@code dll}: the one there when its hash
     * checks out, else a newly written one. Null when neither works;
     * {@link #tried} then says why.
     */
    private Path extract(byte[] dll, String hash, Path base) {
        Path folder = base.resolve(Vantrel.VERSION + "-" + hash.substring(0, 16));
        Path cached = folder.resolve(FILE_NAME);
        try {
            Files.createDirectories(folder);
            try {
                InUseLock.hold(folder.resolve(CACHE_LOCK), null);
            } catch (IOException e) {
                // A read-only cache prepared beforehand still serves.
                log.say("cannot mark " + folder + " in use: " + e);
            }
            if (matches(cached, hash)) {
                log.say("cached copy " + cached + ": SHA-256 checks out");
                return cached;
            }
            Path partial = Files.createTempFile(folder, LIBRARY, ".part");
            try {
                Files.write(partial, dll);
                moveIntoPlace(partial, cached, hash);
            } finally {
                Files.deleteIfExists(partial);
            }
            if (matches(cached, hash)) {
                log.say("wrote " + cached + ": SHA-256 checks out");
                return cached;
            }
            tried.add("cache " + cached + ": the copy there does not match the jar's");
        } catch (IOException | SecurityException | InvalidPathException e) {
            tried.add("cache " + cached + ": " + e);
        }
        return null;
    }

    private void moveIntoPlace(Path partial, Path target, String hash) throws IOException {
        for (int attempt = 0;; attempt++) {
            try {
                try {
                    Files.move(partial, target, StandardCopyOption.REPLACE_EXISTING, StandardCopyOption.ATOMIC_MOVE);
                } catch (AtomicMoveNotSupportedException e) {
                    Files.move(partial, target, StandardCopyOption.REPLACE_EXISTING);
                }
                return;
            } catch (IOException e) {
                // Another process may have put a good copy there and hold it
                // loaded: it serves as well as ours.
                if (matches(target, hash)) {
                    return;
                }
                if (attempt == retryPausesMillis.length) {
                    throw e;
                }
                log.say("moving " + partial + " into place failed (" + e + "); trying again");
                pause(retryPausesMillis[attempt]);
            }
        }
    }

    /**
     * Writes a private copy into a new folder of its own under {@code root},
     * created with owner-only rights, with a lock file beside it that names
     * this process and marks the copy in use while the process lives. Null
     * when that fails; {@link #tried} then says why.
     */
    private Path privateCopy(byte[] dll, String hash, Path root) {
        try {
            Files.createDirectories(root);
            Path folder = createPrivateFolder(root);
            InUseLock.hold(folder.resolve(OWNER_LOCK), processName());
            Path copy = folder.resolve(FILE_NAME);
            Files.write(copy, dll, StandardOpenOption.CREATE_NEW, StandardOpenOption.WRITE);
            restrictToOwner(copy.toFile());
            if (matches(copy, hash)) {
                log.say("private copy " + copy + " for process " + processName());
                return copy;
            }
            tried.add("private copy " + copy + ": it does not match the jar's");
        } catch (IOException | SecurityException | UnsupportedOperationException | InvalidPathException e) {
            tried.add("private copy in " + root + ": " + e);
        }
        return null;
    }

    private static Path createPrivateFolder(Path root) throws IOException {
        if (root.getFileSystem().supportedFileAttributeViews().contains("posix")) {
            Set<PosixFilePermission> owner = PosixFilePermissions.fromString("rwx------");
            FileAttribute<Set<PosixFilePermission>> attribute = PosixFilePermissions.asFileAttribute(owner);
            return Files.createTempDirectory(root, PRIVATE_PREFIX, attribute);
        }
        // Without POSIX rights (Windows) the folder inherits those of its
        // parent: the user's own folders, or under a machine-wide one the
        // creator's full control and other users' read access.
        return Files.createTempDirectory(root, PRIVATE_PREFIX);
    }

    private static void restrictToOwner(File file) {
        file.setReadable(false, false);
        file.setReadable(true, true);
        file.setWritable(false, false);
        file.setWritable(true, true);
    }

    /**
     * Loads {@code file}, trying again briefly when it fails; a refusal
     * because another class loader holds the file is final at once.
     *
     * @return null when loaded, else the last failure (also noted in {@link #tried})
     */
    private UnsatisfiedLinkError attemptLoad(Path file) {
        String path = file.toAbsolutePath().toString();
        for (int attempt = 0;; attempt++) {
            try {
                step.load(path);
                log.say("loaded " + path);
                return null;
            } catch (UnsatisfiedLinkError e) {
                String reason = e.getMessage();
                boolean last = attempt == retryPausesMillis.length || !Files.isRegularFile(file)
                        || (reason != null && reason.contains(CLASS_LOADER_CONFLICT));
                if (last) {
                    tried.add("System.load(\"" + path + "\")" + (attempt > 0 ? " (" + (attempt + 1) + " attempts)" : "")
                            + ": " + reason);
                    return e;
                }
                log.say("loading " + path + " failed (" + reason + "); trying again");
                pause(retryPausesMillis[attempt]);
            }
        }
    }

    private void sweep(Path base) {
        try {
            CacheSweep sweep = new CacheSweep(Vantrel.VERSION, log, System.currentTimeMillis());
            if (base != null) {
                sweep.sweepCache(base);
            }
            for (Path root : privateRoots(base)) {
                sweep.sweepPrivate(root);
            }
        } catch (RuntimeException e) {
            log.say("sweep stopped: " + e);
        }
    }

    /**
     * Folders for a private copy, in order of preference: the cache's own
     * (when {@code base} is given), the temporary folder, then machine-wide
     * folders with ASCII paths for when the user's paths are not.
     */
    private List<Path> privateRoots(Path base) {
        List<Path> roots = new ArrayList<>();
        if (base != null) {
            roots.add(base.resolve(PRIVATE_FOLDER));
        }
        addRoot(roots, property("java.io.tmpdir"), null);
        List<Path> machine = new ArrayList<>();
        addRoot(machine, environment.get("ProgramData"), null);
        addRoot(machine, environment.get("SystemRoot"), "Temp");
        for (Path root : machine) {
            if (isAscii(root.toString()) && !roots.contains(root)) {
                roots.add(root);
            }
        }
        return roots;
    }

    private static void addRoot(List<Path> roots, String folder, String child) {
        if (folder == null || folder.isEmpty()) {
            return;
        }
        try {
            Path root = Paths.get(folder).toAbsolutePath();
            roots.add(child == null ? root : root.resolve(child));
        } catch (InvalidPathException e) {
            // Not a usable folder.
        }
    }

    /** The per-user cache folder for extracted DLLs, or null. */
    Path cacheBase() {
        try {
            String chosen = property(CACHE_PROPERTY);
            if (chosen != null) {
                return Paths.get(chosen).toAbsolutePath();
            }
            String local = environment.get("LOCALAPPDATA");
            if (local != null && !local.isEmpty()) {
                return Paths.get(local, "Quendril", "Vantrel").toAbsolutePath();
            }
            String home = property("user.home");
            if (home != null) {
                return Paths.get(home, ".cache", "quendril-vantrel").toAbsolutePath();
            }
        } catch (InvalidPathException e) {
            tried.add("cache: " + e.getMessage());
        }
        return null;
    }

    /** The file {@code System.loadLibrary} takes: the first on the boot, then the user library path. */
    private String findOnLibraryPath() {
        String separator = property("path.separator");
        for (String key : new String[] {"sun.boot.library.path", "java.library.path"}) {
            String list = property(key);
            if (list == null || separator == null) {
                continue;
            }
            for (String folder : list.split(java.util.regex.Pattern.quote(separator))) {
                try {
                    Path file = Paths.get(folder.isEmpty() ? "." : folder, FILE_NAME).toAbsolutePath();
                    if (Files.isRegularFile(file)) {
                        return file.toString();
                    }
                } catch (InvalidPathException e) {
                    // Not a folder Java searches either.
                }
            }
        }
        return null;
    }

    /** A set, non-blank system property, or null. */
    private String property(String key) {
        String value = properties.getProperty(key);
        return value == null || value.trim().isEmpty() ? null : value;
    }

    private UnsatisfiedLinkError failure(Platform platform, String note) {
        StringBuilder message = new StringBuilder("Cannot load " + FILE_NAME);
        if (platform.isSupported()) {
            message.append(" for ").append(platform.folder());
        }
        message.append(" (").append(platform.describe()).append("); tried:");
        for (String attempt : tried) {
            message.append(" [").append(attempt).append(']');
        }
        if (note != null) {
            message.append("; ").append(note);
        }
        return new UnsatisfiedLinkError(message.toString());
    }

    private static boolean matches(Path file, String hash) throws IOException {
        return Files.isRegularFile(file) && hash.equals(sha256(Files.readAllBytes(file)));
    }

    private static boolean isAscii(String text) {
        for (int i = 0; i < text.length(); i++) {
            if (text.charAt(i) > 0x7F) {
                return false;
            }
        }
        return true;
    }

    private static void pause(long millis) {
        try {
            Thread.sleep(millis);
        } catch (InterruptedException e) {
            Thread.currentThread().interrupt();
        }
    }

    private static String processName() {
        try {
            return ManagementFactory.getRuntimeMXBean().getName();
        } catch (RuntimeException | LinkageError e) {
            return "unknown";
        }
    }

    /** The bytes of a resource of this jar, or null when the jar holds none of that name. */
    static byte[] readResource(String name) throws IOException {
        try (InputStream in = NativeLoader.class.getResourceAsStream(name)) {
            if (in == null) {
                return null;
            }
            ByteArrayOutputStream out = new ByteArrayOutputStream();
            byte[] buffer = new byte[65536];
            int n;
            while ((n = in.read(buffer)) > 0) {
                out.write(buffer, 0, n);
            }
            return out.toByteArray();
        }
    }

    static String sha256(byte[] bytes) {
        try {
            byte[] digest = MessageDigest.getInstance("SHA-256").digest(bytes);
            StringBuilder text = new StringBuilder(digest.length * 2);
            for (byte b : digest) {
                text.append(Character.forDigit((b >> 4) & 0xF, 16)).append(Character.forDigit(b & 0xF, 16));
            }
            return text.toString();
        } catch (NoSuchAlgorithmException e) {
            throw new IllegalStateException("SHA-256 is missing from this Java runtime", e);
        }
    }
}
