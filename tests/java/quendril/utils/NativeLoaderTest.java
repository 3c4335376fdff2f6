package quendril.utils;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertNotEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.ByteArrayOutputStream;
import java.io.IOException;
import java.io.PrintStream;
import java.lang.reflect.Constructor;
import java.lang.reflect.InvocationTargetException;
import java.lang.reflect.Method;
import java.lang.reflect.Proxy;
import java.net.URL;
import java.net.URLClassLoader;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.attribute.FileTime;
import java.nio.file.attribute.PosixFilePermissions;
import java.util.Collections;
import java.util.HashMap;
import java.util.List;
import java.util.Map;
import java.util.Properties;
import java.util.stream.Collectors;
import java.util.stream.Stream;
import org.junit.jupiter.api.BeforeEach;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.CsvSource;
import org.junit.jupiter.params.provider.ValueSource;

/**
 * The loader's decisions on any platform: a fake load step plays the JVM
 * and the system properties say which Windows JVM it is.
 */
class NativeLoaderTest {

    @TempDir
    Path scratch;

    private Path cache;
    private Path temp;
    private Path jarFolder;
    private final Map<String, String> environment = new HashMap<>();
    private final FakeLoadStep step = new FakeLoadStep();
    private final ByteArrayOutputStream debug = new ByteArrayOutputStream();

    @BeforeEach
    void folders() {
        cache = scratch.resolve("cache");
        temp = scratch.resolve("tmp");
        jarFolder = scratch.resolve("app");
        environment.put("LOCALAPPDATA", scratch.resolve("local").toString());
    }

    /** The properties of a Windows JVM of this architecture, its folders in the scratch folder. */
    private Properties windows(String arch) {
        Properties properties = new Properties();
        properties.setProperty("os.name", "Windows 10");
        properties.setProperty("os.arch", arch);
        properties.setProperty("java.home", "C:\\jdk");
        properties.setProperty("path.separator", ";");
        properties.setProperty("java.io.tmpdir", temp.toString());
        properties.setProperty("user.home", scratch.toString());
        properties.setProperty("user.name", System.getProperty("user.name"));
        properties.setProperty(LoaderNames.CACHE_PROPERTY, cache.toString());
        properties.setProperty(LoaderNames.DEBUG_PROPERTY, "true");
        return properties;
    }

    private NativeLoader loader(Properties properties) {
        NativeLoader loader = new NativeLoader(properties, environment, jarFolder, step, new PrintStream(debug, true));
        loader.retryPausesMillis = new long[] {1, 1, 1};
        return loader;
    }

    private static byte[] dll(String folder) throws IOException {
        return JarFiles.read("/quendril/utils/" + folder + "/Vantrel.dll");
    }

    private static List<String> names(Path folder) throws IOException {
        try (Stream<Path> files = Files.list(folder)) {
            return files.map(f -> f.getFileName().toString()).sorted().collect(Collectors.toList());
        }
    }

    private String debugText() {
        return new String(debug.toByteArray(), StandardCharsets.UTF_8);
    }

    @ParameterizedTest
    @CsvSource({"x86, win32-x86", "amd64, win32-x86-64", "aarch64, win32-aarch64"})
    void extractsTheDllOfTheArchitectureIntoAFolderNamedByVersionAndHash(String arch, String folder)
            throws IOException {
        byte[] dll = dll(folder);
        String loaded = loader(windows(arch)).load();

        Path expected = cache.resolve(Vantrel.VERSION + "-" + Sha256.hex(dll).substring(0, 16)).resolve("Vantrel.dll");
        assertEquals(expected.toString(), loaded);
        assertArrayEquals(dll, Files.readAllBytes(expected));
        assertEquals(Collections.singletonList(loaded), step.loads);
        assertFalse(FakeLoadStep.isOpen(loaded), "held only until loaded");
        assertEquals(java.util.Arrays.asList("Vantrel.dll", "Vantrel.lock"), names(expected.getParent()),
                "no partial file is left beside the DLL");
        assertTrue(debugText().contains("SHA-256"), debugText());
    }

    @Test
    void reusesAGoodCopyAndReplacesATamperedOne() throws IOException {
        Path first = java.nio.file.Paths.get(loader(windows("x86")).load());
        FileTime old = FileTime.fromMillis(1000000000000L);
        Files.setLastModifiedTime(first, old);
        assertEquals(first.toString(), loader(windows("x86")).load());
        assertEquals(old, Files.getLastModifiedTime(first), "a copy whose hash checks out is not rewritten");

        Files.write(first, new byte[] {'M', 'Z', 0});
        assertEquals(first.toString(), loader(windows("x86")).load());
        assertArrayEquals(dll("win32-x86"), Files.readAllBytes(first), "a tampered copy is written again");
    }

    /** Another account could swap what others may change: on Linux, a folder writable by others stands for that. */
    @Test
    void whatOthersMayChangeIsNotTrusted() throws IOException {
        byte[] dll = dll("win32-x86-64");
        Path shared = cache.resolve(Vantrel.VERSION + "-" + Sha256.hex(dll).substring(0, 16));
        Files.createDirectories(shared);
        Files.setPosixFilePermissions(shared, PosixFilePermissions.fromString("rwxrwxrwx"));

        Path copy = java.nio.file.Paths.get(loader(windows("amd64")).load());
        assertTrue(copy.startsWith(cache.resolve("private")) && copy.getParent().getFileName().toString()
                .startsWith("vantrel-"), copy.toString());
        assertArrayEquals(dll, Files.readAllBytes(copy));
        assertFalse(Files.exists(shared.resolve("Vantrel.dll")), "nothing is written where others may change it");
        assertTrue(debugText().contains(shared + " is writable by others") && debugText().contains("private copy"),
                debugText());
        assertEquals("rwx------", PosixFilePermissions.toString(Files.getPosixFilePermissions(copy.getParent())));
        String owner = new String(Files.readAllBytes(copy.resolveSibling("owner.lock")), StandardCharsets.UTF_8);
        String bean = java.lang.management.ManagementFactory.getRuntimeMXBean().getName();
        assertEquals(bean.substring(0, bean.indexOf('@')), owner.trim(), "the lock names this process");

        Files.setPosixFilePermissions(cache, PosixFilePermissions.fromString("rwxrwxrwx"));
        Path next = java.nio.file.Paths.get(loader(windows("amd64")).load());
        assertTrue(next.startsWith(scratch.resolve("local")), "a place others may change is passed over: " + next);
    }

    /** A Windows JVM the jar has no DLL for (the refusal's text per platform is PlatformTest's). */
    @Test
    void writesNothingWhereNoDllServes() {
        UnsatisfiedLinkError error = assertThrows(UnsatisfiedLinkError.class, () -> loader(windows("arm")).load());
        assertTrue(error.getMessage().contains("os.arch=arm"), error.getMessage());
        assertFalse(Files.exists(cache) || Files.exists(temp) || Files.exists(scratch.resolve("local")),
                "nothing is written");
        assertTrue(step.loads.isEmpty());
    }

    /** A wrong-version copy: the x86 DLL with the last part of its file version raised by one. */
    private static byte[] wrongVersion() throws IOException {
        byte[] dll = dll("win32-x86");
        for (int i = 0; i + 16 <= dll.length; i += 4) {
            if ((dll[i] & 0xFF) == 0xBD && (dll[i + 1] & 0xFF) == 0x04 && (dll[i + 2] & 0xFF) == 0xEF
                    && (dll[i + 3] & 0xFF) == 0xFE) {
                dll[i + 12]++;
                return dll;
            }
        }
        throw new AssertionError("the DLL has no version record");
    }

    @ParameterizedTest(name = "{0} JVM, {1}")
    @CsvSource(delimiter = '|', value = {
        "x86     | good          | ",
        "aarch64 | ARM64         | ",
        "amd64   | good          | PE machine 0x14C (x86), expected 0x8664 (x86-64) for this JVM",
        "aarch64 | x86-64        | PE machine 0x8664 (x86-64), expected 0xAA64 (ARM64) for this JVM",
        "x86     | wrong version | expected " + Vantrel.VERSION,
        "x86     | not PE        | not a PE file (no MZ header)",
        "x86     | truncated     | a damaged PE file",
        "x86     | missing       | cannot be read",
        "x86     | link          | is not a plain file",
    })
    void theNamedLibraryIsCheckedThenLoadedAndNothingElse(String arch, String kind, String refusal)
            throws IOException {
        Path mine = scratch.resolve("Mine.dll");
        if (kind.equals("good")) {
            Files.write(mine, dll("win32-x86"));
        } else if (kind.equals("ARM64")) {
            Files.write(mine, dll("win32-aarch64"));
        } else if (kind.equals("x86-64")) {
            Files.write(mine, dll("win32-x86-64"));
        } else if (kind.equals("wrong version")) {
            Files.write(mine, wrongVersion());
        } else if (kind.equals("not PE")) {
            Files.write(mine, "PK not a DLL".getBytes(StandardCharsets.US_ASCII));
        } else if (kind.equals("truncated")) {
            Files.write(mine, java.util.Arrays.copyOf(dll("win32-x86"), 1024));
        } else if (kind.equals("link")) {
            Files.createSymbolicLink(mine, Files.write(scratch.resolve("Real.dll"), dll("win32-x86")));
        }
        Properties properties = windows(arch);
        properties.setProperty(LoaderNames.LIBRARY_PROPERTY, mine.toString());
        if (refusal == null) {
            assertEquals(mine.toString(), loader(properties).load());
            assertEquals(Collections.singletonList(mine.toString()), step.loads);
        } else {
            UnsatisfiedLinkError error = assertThrows(UnsatisfiedLinkError.class, () -> loader(properties).load());
            for (String seen : new String[] {mine.toString(), refusal, "nothing else was tried"}) {
                assertTrue(error.getMessage().contains(seen), error.getMessage());
            }
            assertTrue(step.loads.isEmpty(), "nothing unchecked is loaded");
        }
        assertFalse(Files.exists(cache) || Files.exists(scratch.resolve("local")), "nothing is extracted");
    }

    @ParameterizedTest
    @ValueSource(booleans = {true, false})
    void withoutExtractionTheFileAlongTheLibraryPathIsCheckedAndLoadedByItsPath(boolean onLibraryPath)
            throws IOException {
        Path folder = Files.createDirectories(scratch.resolve("lib"));
        Properties properties = windows("x86");
        properties.setProperty(LoaderNames.EXTRACT_PROPERTY, "false");
        properties.setProperty("java.library.path", scratch.resolve("empty") + ";" + folder);
        if (onLibraryPath) {
            Files.write(folder.resolve("Vantrel.dll"), dll("win32-x86"));
            assertEquals(folder.resolve("Vantrel.dll").toString(), loader(properties).load());
            assertEquals(Collections.singletonList(folder.resolve("Vantrel.dll").toString()), step.loads);
        } else {
            UnsatisfiedLinkError error = assertThrows(UnsatisfiedLinkError.class, () -> loader(properties).load());
            assertTrue(error.getMessage().contains("quendril.vantrel.extract=false"), error.getMessage());
            assertTrue(step.loads.isEmpty());
        }
        assertFalse(Files.exists(cache) || Files.exists(scratch.resolve("local")), "nothing is extracted");
    }

    @ParameterizedTest
    @ValueSource(booleans = {true, false})
    void aCopyBesideTheJarLoadsInPlaceOnlyWhenItEqualsTheJars(boolean equal) throws IOException {
        byte[] dll = dll("win32-x86-64");
        Path beside = jarFolder.resolve("win32-x86-64").resolve("Vantrel.dll");
        Files.createDirectories(beside.getParent());
        Files.write(beside, equal ? dll : wrongVersion());

        String loaded = loader(windows("amd64")).load();
        assertEquals(equal, loaded.equals(beside.toString()), loaded);
        assertEquals(!equal, Files.exists(cache), "extracted only when the copy beside the jar differs");
    }

    @Test
    void aFileInUseIsTriedAgainBriefly() {
        step.inUseRefusals = 2;
        String loaded = loader(windows("x86")).load();
        assertEquals(3, step.loads.size());
        assertTrue(step.loads.stream().allMatch(loaded::equals));

        step.loads.clear();
        step.inUseRefusals = 100;
        UnsatisfiedLinkError error = assertThrows(UnsatisfiedLinkError.class, () -> loader(windows("x86")).load());
        assertEquals(8, step.loads.size(), "four attempts in each place, then the failure");
        assertTrue(error.getMessage().startsWith("Cannot load Vantrel.dll for win32-x86 (os.name=Windows 10"),
                error.getMessage());
        assertTrue(error.getMessage().contains("(4 attempts): " + loaded + ": The process cannot access"),
                error.getMessage());
    }

    /** Application control that allows programs only from some folders, as Windows words its refusal. */
    @Test
    void aPlaceWindowsRefusesGivesWayToTheNextAndTheErrorSaysWhatToDo() throws IOException {
        step.refusedUnder = cache.toString();
        Path loaded = java.nio.file.Paths.get(loader(windows("amd64")).load());
        assertTrue(loaded.startsWith(scratch.resolve("local")), loaded.toString());
        assertArrayEquals(dll("win32-x86-64"), Files.readAllBytes(loaded));

        step.refusedUnder = scratch.toString();
        UnsatisfiedLinkError error = assertThrows(UnsatisfiedLinkError.class, () -> loader(windows("amd64")).load());
        for (String seen : new String[] {cache.toString(), scratch.resolve("local").toString(), "group policy",
            "quendril.vantrel.cache", "quendril.vantrel.library", "win32-x86-64/Vantrel.dll beside the jar in "
                + jarFolder}) {
            assertTrue(error.getMessage().contains(seen), seen + " in " + error.getMessage());
        }
    }

    @ParameterizedTest
    @CsvSource({"Jörg, local, local", "Jörg, Jörg-local, tmp"})
    void aPathOutsideAsciiThatFailsFallsBackToAnAsciiPlaceAtOnce(String cacheName, String localName, String expected)
            throws IOException {
        cache = scratch.resolve(cacheName);
        environment.put("LOCALAPPDATA", scratch.resolve(localName).toString());
        Files.createDirectories(temp);
        step.asciiOnly = true;
        Path loaded = java.nio.file.Paths.get(loader(windows("amd64")).load());
        assertTrue(loaded.startsWith(scratch.resolve(expected)), loaded.toString());
        assertArrayEquals(dll("win32-x86-64"), Files.readAllBytes(loaded));
        assertEquals(java.util.Arrays.asList(true, false), step.loads.stream().map(p -> p.contains("Jörg"))
                .collect(Collectors.toList()), "one attempt outside ASCII, none retried or repeated: " + step.loads);
    }

    @Test
    void aSecondClassLoaderLoadsItsOwnPrivateCopy() throws Exception {
        String first = loader(windows("amd64")).load();

        URL jar = NativeLoader.class.getProtectionDomain().getCodeSource().getLocation();
        FakeLoadStep secondStep = new FakeLoadStep();
        try (URLClassLoader second = new URLClassLoader(new URL[] {jar}, null)) {
            Class<?> loaderClass = second.loadClass(NativeLoader.class.getName());
            Class<?> stepClass = second.loadClass(LoadStep.class.getName());
            assertNotEquals(NativeLoader.class, loaderClass);
            Object stepThere = Proxy.newProxyInstance(second, new Class<?>[] {stepClass}, (proxy, method, args) -> {
                Method same = LoadStep.class.getMethod(method.getName(), method.getParameterTypes());
                try {
                    return same.invoke(secondStep, args);
                } catch (InvocationTargetException e) {
                    throw e.getCause();
                }
            });
            Constructor<?> make = loaderClass.getDeclaredConstructor(Properties.class, Map.class, Path.class,
                    stepClass, PrintStream.class);
            make.setAccessible(true);
            Object loaderThere = make.newInstance(windows("amd64"), environment, jarFolder, stepThere,
                    new PrintStream(debug, true));
            Method load = loaderClass.getDeclaredMethod("load");
            load.setAccessible(true);
            Path copy = java.nio.file.Paths.get((String) load.invoke(loaderThere));

            assertEquals(java.util.Arrays.asList(first, copy.toString()), secondStep.loads);
            assertTrue(copy.startsWith(cache.resolve("private")), copy.toString());
            assertArrayEquals(Files.readAllBytes(java.nio.file.Paths.get(first)), Files.readAllBytes(copy));
            assertTrue(debugText().contains("another class loader holds"), debugText());
        }
    }

    @Test
    void printsNothingWithoutTheDebugProperty() {
        Properties properties = windows("x86");
        properties.remove(LoaderNames.DEBUG_PROPERTY);
        loader(properties).load();
        properties.setProperty("os.name", "Linux");
        assertThrows(UnsatisfiedLinkError.class, () -> loader(properties).load());
        assertEquals("", debugText());
    }
}
