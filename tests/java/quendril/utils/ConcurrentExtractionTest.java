package quendril.utils;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.File;
import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.util.ArrayList;
import java.util.Collections;
import java.util.List;
import java.util.Properties;
import java.util.concurrent.TimeUnit;
import java.util.stream.Collectors;
import java.util.stream.Stream;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;

/** Two JVMs extract into one empty cache at the same moment. */
class ConcurrentExtractionTest {

    private static final int PROCESSES = 2;

    @TempDir
    Path scratch;

    @Test
    void bothEndWithAVerifiedCopyAndNoPartialFile() throws Exception {
        Path cache = scratch.resolve("cache");
        Path go = scratch.resolve("go");
        String java = Paths.get(System.getProperty("java.home"), "bin", "java").toString();
        List<Process> processes = new ArrayList<>();
        for (int i = 0; i < PROCESSES; i++) {
            processes.add(new ProcessBuilder(java, "-cp", classPath(),
                    Child.class.getName(), cache.toString(), scratch.resolve("tmp" + i).toString(), go.toString())
                    .redirectErrorStream(true).start());
        }
        Files.write(go, new byte[0]);

        List<String> loaded = new ArrayList<>();
        for (Process process : processes) {
            String output = new String(JarFiles.readAll(process.getInputStream()), StandardCharsets.UTF_8);
            assertTrue(process.waitFor(60, TimeUnit.SECONDS), "the child ends");
            assertEquals(0, process.exitValue(), output);
            loaded.add(output.trim());
        }
        byte[] dll = JarFiles.read("/quendril/utils/win32-x86-64/Vantrel.dll");
        Path expected = cache.resolve(Vantrel.VERSION + "-" + Sha256.hex(dll).substring(0, 16))
                .resolve("Vantrel.dll");
        assertEquals(Collections.nCopies(PROCESSES, expected.toString()), loaded);
        assertArrayEquals(dll, Files.readAllBytes(expected));
        try (Stream<Path> files = Files.list(expected.getParent())) {
            assertEquals("[Vantrel.dll, Vantrel.lock]",
                    files.map(f -> f.getFileName().toString()).sorted().collect(Collectors.toList()).toString());
        }
    }

    /** The test classes and the jar, wherever the test runner found them. */
    private static String classPath() throws Exception {
        return new File(Child.class.getProtectionDomain().getCodeSource().getLocation().toURI()) + File.pathSeparator
                + new File(NativeLoader.class.getProtectionDomain().getCodeSource().getLocation().toURI());
    }

    /**
     * One JVM: waits for the start signal, loads as a 64-bit Windows JVM
     * would (the load step checks the file is whole) and prints the path.
     * Arguments: CACHE TMP GO_FILE.
     */
    static final class Child {
        public static void main(String[] args) throws Exception {
            File go = new File(args[2]);
            while (!go.exists()) {
                Thread.sleep(1);
            }
            Properties properties = new Properties();
            properties.setProperty("os.name", "Windows 11");
            properties.setProperty("os.arch", "amd64");
            properties.setProperty(LoaderNames.CACHE_PROPERTY, args[0]);
            properties.setProperty("java.io.tmpdir", args[1]);
            properties.setProperty("user.home", args[1]);
            properties.setProperty("user.name", System.getProperty("user.name"));
            String expected = Sha256.hex(JarFiles.read("/quendril/utils/win32-x86-64/Vantrel.dll"));
            LoadStep whole = new FakeLoadStep() {
                @Override
                public void load(String path) {
                    super.load(path);
                    try {
                        if (!expected.equals(Sha256.hex(Files.readAllBytes(Paths.get(path))))) {
                            throw new UnsatisfiedLinkError(path + " is not whole");
                        }
                    } catch (IOException e) {
                        throw new UnsatisfiedLinkError(path + ": " + e);
                    }
                }
            };
            System.out.println(new NativeLoader(properties, Collections.<String, String>emptyMap(), null, whole,
                    System.err).load());
        }
    }
}
