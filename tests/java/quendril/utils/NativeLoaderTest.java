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
    private final Map<String, String> environment = new HashMap<>();
    private final FakeLoadStep step = new FakeLoadStep();
    private final ByteArrayOutputStream debug = new ByteArrayOutputStream();

    @BeforeEach
    void folders() {
        cache = scratch.resolve("cache");
        temp = scratch.resolve("tmp");
    }

    /** The properties of a Windows JVM of this architecture, with the cache and temporary folder in the scratch folder. */
    private Properties windows(String arch) {
        Properties properties = new Properties();
        properties.setProperty("os.name", "Windows 10");
        properties.setProperty("os.arch", arch);
        properties.setProperty("java.home", "C:\\jdk");
        properties.setProperty("path.separator", ";");
        properties.setProperty("java.io.tmpdir", temp.toString());
        properties.setProperty(NativeLoader.CACHE_PROPERTY, cache.toString());
        properties.setProperty(NativeLoader.DEBUG_PROPERTY, "true");
        return properties;
    }

    private NativeLoader loader(Properties properties) {
        NativeLoader loader = new NativeLoader(properties, environment, step,
                new PrintStream(debug, true));
        loader.retryPausesMillis = new long[] {1, 1, 1};
        return loader;
    }

    private static byte[] dll(String folder) throws IOException {
        return NativeLoader.readResource("/quendril/utils/" + folder + "/Vantrel.dll");
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
    @CsvSource({"x86, win32-x86", "amd64, win32-x86-64"})
    void extractsTheDllOfTheArchitectureIntoAFolderNamedByVersionAndHash(String arch, String folder)
            throws IOException {
        byte[] dll = dll(folder);
        String loaded = loader(windows(arch)).load();

        Path expected = cache.resolve(Vantrel.VERSION + "-" + NativeLoader.sha256(dll).substring(0, 16))
                .resolve("Vantrel.dll");
        assertEquals(expected.toString(), loaded);
        assertArrayEquals(dll, Files.readAllBytes(expected));
        assertEquals(Collections.singletonList(loaded), step.loads);
        assertEquals(java.util.Arrays.asList("Vantrel.dll", "Vantrel.lock"), names(expected.getParent()),
                "no partial file is left beside the DLL");
        assertTrue(step.libraryLoads.isEmpty(), "java.library.path is not consulted");
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

    @Test
    void anUnusableCacheFallsBackToAPrivateCopyThatNamesItsProcess() throws IOException {
        Path blocker = scratch.resolve("not-a-folder");
        Files.write(blocker, new byte[] {1});
        Properties properties = windows("amd64");
        properties.setProperty(NativeLoader.CACHE_PROPERTY, blocker.resolve("cache").toString());

        Path copy = java.nio.file.Paths.get(loader(properties).load());
        assertTrue(copy.startsWith(temp) && copy.getParent().getFileName().toString().startsWith("vantrel-"), copy.toString());
        assertArrayEquals(dll("win32-x86-64"), Files.readAllBytes(copy));
        assertEquals("rwx------", PosixFilePermissions.toString(Files.getPosixFilePermissions(copy.getParent())));
        String owner = new String(Files.readAllBytes(copy.resolveSibling("owner.lock")), StandardCharsets.UTF_8);
        assertEquals(java.lang.management.ManagementFactory.getRuntimeMXBean().getName(), owner.trim());
    }

    @ParameterizedTest
    @CsvSource(delimiter = '|', value = {
        "Linux      | amd64",
        "Mac OS X   | x86_64",
        "Windows 11 | aarch64",
    })
    void writesNothingWhereNoDllServes(String osName, String osArch) {
        Properties properties = windows(osArch);
        properties.setProperty("os.name", osName);

        UnsatisfiedLinkError error = assertThrows(UnsatisfiedLinkError.class, () -> loader(properties).load());
        for (String seen : new String[] {"os.name=" + osName, "os.arch=" + osArch, "java.home=C:\\jdk",
            "win32-x86-64"}) {
            assertTrue(error.getMessage().contains(seen), error.getMessage());
        }
        assertFalse(Files.exists(cache) || Files.exists(temp), "nothing is written");
        assertTrue(step.loads.isEmpty() && step.libraryLoads.isEmpty());
    }

    @Test
    void theNamedLibraryIsLoadedAndNothingElse() throws IOException {
        Path mine = Files.write(scratch.resolve("Mine.dll"), new byte[] {'M', 'Z', 1});
        Properties properties = windows("amd64");
        properties.setProperty(NativeLoader.LIBRARY_PROPERTY, mine.toString());
        assertEquals(mine.toString(), loader(properties).load());

        properties.setProperty(NativeLoader.LIBRARY_PROPERTY, scratch.resolve("Missing.dll").toString());
        UnsatisfiedLinkError error = assertThrows(UnsatisfiedLinkError.class, () -> loader(properties).load());
        assertTrue(error.getMessage().contains("Missing.dll") && error.getMessage().contains("nothing else was tried"),
                error.getMessage());
        assertEquals(2, step.loads.size(), "a missing file is not tried again");
        assertTrue(step.libraryLoads.isEmpty());
        assertFalse(Files.exists(cache) || Files.exists(temp), "nothing is extracted");
    }

    @ParameterizedTest
    @ValueSource(booleans = {true, false})
    void withoutExtractionOnlyTheLibraryPathIsUsed(boolean onLibraryPath) {
        Properties properties = windows("x86");
        properties.setProperty(NativeLoader.EXTRACT_PROPERTY, "false");
        step.onLibraryPath = onLibraryPath;
        if (onLibraryPath) {
            loader(properties).load();
        } else {
            UnsatisfiedLinkError error = assertThrows(UnsatisfiedLinkError.class, () -> loader(properties).load());
            assertTrue(error.getMessage().contains("quendril.vantrel.extract=false"), error.getMessage());
        }
        assertEquals(Collections.singletonList("Vantrel"), step.libraryLoads);
        assertTrue(step.loads.isEmpty());
        assertFalse(Files.exists(cache) || Files.exists(temp), "nothing is extracted");
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
        assertEquals(4, step.loads.size(), "four attempts, then the failure");
        assertTrue(error.getMessage().startsWith("Cannot load Vantrel.dll for win32-x86 (os.name=Windows 10"),
                error.getMessage());
        assertTrue(error.getMessage().contains("(4 attempts): " + loaded + ": The process cannot access"),
                error.getMessage());
    }

    @ParameterizedTest
    @CsvSource({"Jörg, tmp, tmp", "Jörg, Jörg-tmp, ProgramData"})
    void aPathOutsideAsciiThatFailsFallsBackToAnAsciiCopy(String cacheName, String tempName, String expected)
            throws IOException {
        cache = scratch.resolve(cacheName);
        temp = scratch.resolve(tempName);
        environment.put("ProgramData", scratch.resolve("ProgramData").toString());
        step.asciiOnly = true;
        Path loaded = java.nio.file.Paths.get(loader(windows("amd64")).load());
        assertTrue(loaded.startsWith(scratch.resolve(expected)), loaded.toString());
        assertArrayEquals(dll("win32-x86-64"), Files.readAllBytes(loaded));
        assertEquals(loaded.toString(), step.loads.get(step.loads.size() - 1));
        assertTrue(step.loads.get(0).contains("Jörg"));
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
            Constructor<?> make = loaderClass.getDeclaredConstructor(Properties.class, Map.class, stepClass,
                    PrintStream.class);
            make.setAccessible(true);
            Object loaderThere = make.newInstance(windows("amd64"), environment, stepThere, new PrintStream(debug, true));
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
        properties.remove(NativeLoader.DEBUG_PROPERTY);
        loader(properties).load();
        properties.setProperty("os.name", "Linux");
        assertThrows(UnsatisfiedLinkError.class, () -> loader(properties).load());
        assertEquals("", debugText());
    }
}
