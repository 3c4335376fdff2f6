package quendril.utils;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static org.junit.jupiter.api.Assumptions.assumeFalse;

import java.io.ByteArrayOutputStream;
import java.io.File;
import java.io.IOException;
import java.io.InputStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.util.jar.Attributes;
import java.util.jar.JarFile;
import java.util.stream.Stream;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.ValueSource;

/** The jar as it is shipped: the one the tests run against. */
class PackagingTest {

    private static File jar() throws Exception {
        File jar = new File(NativeLoader.class.getProtectionDomain().getCodeSource().getLocation().toURI());
        assertTrue(jar.isFile(), "the classes come from the jar: " + jar);
        return jar;
    }

    private static byte[] read(InputStream stream) throws IOException {
        try (InputStream in = stream) {
            ByteArrayOutputStream out = new ByteArrayOutputStream();
            byte[] buffer = new byte[65536];
            for (int n; (n = in.read(buffer)) > 0;) {
                out.write(buffer, 0, n);
            }
            return out.toByteArray();
        }
    }

    @Test
    void manifestNamesTheModuleVersionAndEntryPoint() throws Exception {
        try (JarFile jar = new JarFile(jar())) {
            Attributes main = jar.getManifest().getMainAttributes();
            assertEquals("quendril.utils", main.getValue("Automatic-Module-Name"));
            assertEquals("Vantrel", main.getValue("Implementation-Title"));
            assertEquals(Vantrel.VERSION, main.getValue("Implementation-Version"));
            assertEquals("Quendril", main.getValue("Implementation-Vendor"));
            assertEquals(VantrelDiagnostics.class.getName(), main.getValue("Main-Class"));
        }
    }

    /** The DLL's version record (VS_FIXEDFILEINFO, found by its signature) states Vantrel.VERSION. */
    @ParameterizedTest
    @ValueSource(strings = {"win32-x86", "win32-x86-64"})
    void eachDllStatesTheLibraryVersion(String folder) throws Exception {
        try (JarFile jar = new JarFile(jar())) {
            byte[] dll = read(jar.getInputStream(jar.getJarEntry("quendril/utils/" + folder + "/Vantrel.dll")));
            int at = -1;
            for (int i = 0; i + 16 <= dll.length && at < 0; i += 4) {
                if (dword(dll, i) == 0xFEEF04BD) {
                    at = i;
                }
            }
            assertTrue(at >= 0, "the DLL has a version record");
            int high = dword(dll, at + 8);
            int low = dword(dll, at + 12);
            assertEquals(Vantrel.VERSION, (high >>> 16) + "." + (high & 0xFFFF) + "." + (low >>> 16) + "." + (low & 0xFFFF));
        }
    }

    private static int dword(byte[] bytes, int at) {
        return (bytes[at] & 0xFF) | (bytes[at + 1] & 0xFF) << 8 | (bytes[at + 2] & 0xFF) << 16 | (bytes[at + 3] & 0xFF) << 24;
    }

    @Test
    void diagnosticsOffWindowsExplainAndWriteNothing(@TempDir Path home) throws Exception {
        assumeFalse(System.getProperty("os.name").startsWith("Windows"), "the library loads on Windows");
        Path temp = Files.createDirectory(home.resolve("tmp"));
        ProcessBuilder builder = new ProcessBuilder(Paths.get(System.getProperty("java.home"), "bin", "java").toString(),
                "-Duser.home=" + home, "-Djava.io.tmpdir=" + temp, "-jar", jar().toString());
        builder.environment().remove("LOCALAPPDATA");
        Process process = builder.redirectErrorStream(true).start();
        String text = new String(read(process.getInputStream()), StandardCharsets.UTF_8);

        assertEquals(1, process.waitFor(), text);
        for (String seen : new String[] {"Vantrel " + Vantrel.VERSION, System.getProperty("java.version"),
            "os.name=" + System.getProperty("os.name"), "Supported: ".toLowerCase()}) {
            assertTrue(text.contains(seen), text + " names " + seen);
        }
        try (Stream<Path> written = Files.walk(home)) {
            assertEquals(2, written.count(), "only the folders the test made");
        }
    }
}
