package quendril.utils;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertNotSame;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static org.junit.jupiter.api.Assumptions.assumeFalse;
import static org.junit.jupiter.api.Assumptions.assumeTrue;

import java.io.File;
import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.Collections;
import java.util.HashMap;
import java.util.List;
import java.util.Map;
import java.util.ServiceLoader;
import java.util.jar.Attributes;
import java.util.jar.JarEntry;
import java.util.jar.JarFile;
import java.util.regex.Matcher;
import java.util.regex.Pattern;
import java.util.stream.Collectors;
import java.util.stream.Stream;
import javax.xml.parsers.DocumentBuilderFactory;
import javax.xml.xpath.XPathFactory;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;
import org.osgi.framework.Bundle;
import org.osgi.framework.Constants;
import org.osgi.framework.Version;
import org.osgi.framework.launch.Framework;
import org.osgi.framework.launch.FrameworkFactory;
import org.w3c.dom.Document;

/** The jar as it is shipped: the one the tests run against. */
class PackagingTest {

    private static File jar() throws Exception {
        File jar = new File(NativeLoader.class.getProtectionDomain().getCodeSource().getLocation().toURI());
        assertTrue(jar.isFile(), "the classes come from the jar: " + jar);
        return jar;
    }

    private static Path dist() throws Exception {
        return jar().toPath().getParent();
    }

    /** Runs a command; its output (standard error included) and exit code. */
    private static String[] run(String... command) throws Exception {
        Process process = new ProcessBuilder(command).redirectErrorStream(true).start();
        String text = new String(JarFiles.readAll(process.getInputStream()), StandardCharsets.UTF_8);
        return new String[] {text, Integer.toString(process.waitFor())};
    }

    private static String javaTool(String home, String tool) {
        return Paths.get(home, "bin", tool).toString();
    }

    @Test
    void jarCarriesTheLicenceAndJava8ClassesAndStartsTheDiagnostics() throws Exception {
        try (JarFile jar = new JarFile(jar())) {
            for (String notice : new String[] {"LICENSE", "NOTICE", "THIRD-PARTY-NOTICES"}) {
                assertArrayEquals(Files.readAllBytes(Paths.get(notice)),
                        JarFiles.readAll(jar.getInputStream(jar.getJarEntry("META-INF/" + notice))), notice);
            }
            Attributes main = jar.getManifest().getMainAttributes();
            assertEquals(VantrelDiagnostics.class.getName(), main.getValue("Main-Class"));
            assertEquals("ALL-UNNAMED", main.getValue("Enable-Native-Access"));
            // Java 8 class files (major version 52) but for the module descriptor.
            List<String> notJava8 = new ArrayList<>();
            for (JarEntry entry : Collections.list(jar.entries())) {
                byte[] bytes = JarFiles.readAll(jar.getInputStream(entry));
                if (entry.getName().endsWith(".class") && (bytes[6] << 8 | bytes[7] & 0xFF) != 52) {
                    notJava8.add(entry.getName());
                }
            }
            assertEquals(Arrays.asList("META-INF/versions/9/module-info.class"), notJava8);
        }
    }

    /**
     * The version is written once, in CMakeLists.txt; everything built
     * states it: the Java constant, the manifest and its bundle headers, the
     * module descriptor, both poms and each DLL's version record (read as
     * the loader reads it, and its texts).
     */
    @Test
    void everyArtefactStatesTheProjectVersion() throws Exception {
        String cmake = new String(Files.readAllBytes(Paths.get("CMakeLists.txt")), StandardCharsets.UTF_8);
        Matcher project = Pattern.compile("project\\(Vantrel VERSION ([0-9.]+)").matcher(cmake);
        assertTrue(project.find(), "CMakeLists.txt names the version");
        String version = project.group(1);
        Map<String, String> seen = new HashMap<>();
        seen.put("Vantrel.VERSION", Vantrel.VERSION);
        try (JarFile jar = new JarFile(jar())) {
            Attributes main = jar.getManifest().getMainAttributes();
            seen.put("Implementation-Version", main.getValue("Implementation-Version"));
            seen.put("Bundle-Version", main.getValue("Bundle-Version"));
            seen.put("Export-Package", main.getValue("Export-Package").replaceAll(".*;version=\"([^\"]*)\"$", "$1"));
            assertArrayEquals(Files.readAllBytes(dist().resolve("pom.xml")),
                    JarFiles.readAll(jar.getInputStream(jar.getJarEntry("META-INF/maven/quendril/vantrel/pom.xml"))));
            String[] folders = {"win32-x86", "win32-x86-64", "win32-aarch64"};
            int[] machines = {Platform.MACHINE_X86, Platform.MACHINE_X86_64, Platform.MACHINE_AARCH64};
            for (int i = 0; i < folders.length; i++) {
                String folder = folders[i];
                byte[] dll = JarFiles.readAll(
                        jar.getInputStream(jar.getJarEntry("quendril/utils/" + folder + "/Vantrel.dll")));
                assertNull(DllHeader.mismatch(dll, machines[i], version), folder + " version record");
                // FileVersion and ProductVersion, in UTF-16 at an even offset.
                String text = version.replace(".", ", ");
                assertTrue(new String(dll, StandardCharsets.UTF_16LE).contains(text), folder + " states " + text);
            }
        }
        seen.put("pom.xml", XPathFactory.newInstance().newXPath().evaluate("/project/version", pom()));
        String[] module = run(javaTool(System.getProperty("java.home"), "jar"), "--describe-module", "--file",
                jar().toString(), "--release", "9");
        seen.put("module", module[0].replaceAll("(?s).*quendril\\.utils@(\\S+) .*", "$1"));
        for (Map.Entry<String, String> entry : seen.entrySet()) {
            assertEquals(version, entry.getValue(), entry.getKey());
        }
    }

    private static Document pom() throws Exception {
        return DocumentBuilderFactory.newInstance().newDocumentBuilder().parse(dist().resolve("pom.xml").toFile());
    }

    /** What Maven Central requires of a pom, and nothing a consumer cannot use. */
    @Test
    void pomHasWhatMavenCentralRequires() throws Exception {
        Document pom = pom();
        for (String element : new String[] {"groupId", "artifactId", "version", "name", "description", "url",
            "licenses/license/url", "developers/developer/name", "scm/connection", "scm/developerConnection",
            "scm/url"}) {
            assertFalse(XPathFactory.newInstance().newXPath().evaluate("/project/" + element, pom).trim().isEmpty(),
                    element);
        }
        assertEquals("Apache-2.0", XPathFactory.newInstance().newXPath().evaluate("/project/licenses/license/name", pom));
        assertEquals(0, pom.getElementsByTagName("properties").getLength(), "no properties");
    }

    /** A module, not an automatic one: jlink takes it with nothing but java.base, and its image runs the diagnostics. */
    @Test
    void jlinkImageRunsTheDiagnostics(@TempDir Path temp) throws Exception {
        String home = System.getProperty("java.home");
        assumeTrue(new File(javaTool(home, "jlink")).canExecute(), "jlink comes with a JDK, not with " + home);
        Path image = temp.resolve("image");
        String[] link = run(javaTool(home, "jlink"), "--module-path", jar().toString(), "--add-modules", "quendril.utils",
                "--no-header-files", "--no-man-pages", "--output", image.toString());
        assertEquals("0", link[1], link[0]);
        String imageHome = image.toString();
        assertEquals(Arrays.asList("java.base", "quendril.utils"),
                Arrays.stream(run(javaTool(imageHome, "java"), "--list-modules")[0].split("\\s+"))
                        .map(name -> name.replaceAll("@.*", "")).collect(Collectors.toList()));
        String[] diagnostics = run(javaTool(imageHome, "java"), "-m", "quendril.utils");
        assertTrue(diagnostics[0].startsWith("Vantrel " + Vantrel.VERSION), diagnostics[0]);
        assertTrue(diagnostics[0].contains(imageHome), "runs in the image: " + diagnostics[0]);
        if (!System.getProperty("os.name").startsWith("Windows")) {
            assertEquals("1", diagnostics[1], "off Windows the diagnostics explain and fail");
        }
    }

    /**
     * Java 24 and later warn about the library load unless native access is
     * enabled: the jar's manifest does it for -jar, the module name for the
     * module path. The loader calls System.load only for a file it checked,
     * so the JVM calls itself 64-bit Windows and is given the jar's own
     * x86-64 DLL: its load draws the warning (then fails on Linux), and
     * proves the check would see one.
     */
    @Test
    void jdk24AndLaterStartQuietly(@TempDir Path temp) throws Exception {
        String java = javaOf24OrLater();
        assumeTrue(java != null, "no JDK 24 or later installed: Debian 12 packages none, and the openjdk-25 of Debian 13"
                + " cannot be installed beside Debian 12's C library");
        Path dll = Files.write(temp.resolve("Vantrel.dll"), JarFiles.read("/quendril/utils/win32-x86-64/Vantrel.dll"));
        String library = "-Dquendril.vantrel.library=" + dll;
        String windows = "-Dos.name=Windows 10";
        String amd64 = "-Dos.arch=amd64";
        String warning = "WARNING: A restricted method";
        String[] loud = run(java, windows, amd64, library, "--module-path", jar().toString(), "-m", "quendril.utils");
        assertTrue(loud[0].contains(warning) && loud[0].contains("--enable-native-access=quendril.utils"), loud[0]);
        for (String[] quiet : new String[][] {run(java, windows, amd64, library, "-jar", jar().toString()),
            run(java, windows, amd64, library, "--enable-native-access=quendril.utils", "--module-path",
                    jar().toString(), "-m", "quendril.utils")}) {
            assertTrue(quiet[0].contains("Vantrel " + Vantrel.VERSION), quiet[0]);
            assertFalse(quiet[0].contains(warning), quiet[0]);
        }
    }

    /** A java of version 24 or later: this one, or one installed beside it under /usr/lib/jvm. */
    private static String javaOf24OrLater() throws IOException {
        List<Path> homes = new ArrayList<>();
        homes.add(Paths.get(System.getProperty("java.home")));
        Path jvms = Paths.get("/usr/lib/jvm");
        if (Files.isDirectory(jvms)) {
            try (Stream<Path> installed = Files.list(jvms)) {
                installed.sorted().forEach(homes::add);
            }
        }
        Pattern major = Pattern.compile("JAVA_VERSION=\"(\\d+)");
        for (Path home : homes) {
            Path release = home.resolve("release");
            if (Files.isRegularFile(release) && Files.isExecutable(home.resolve("bin/java"))) {
                Matcher version = major.matcher(new String(Files.readAllBytes(release), StandardCharsets.UTF_8));
                if (version.find() && Integer.parseInt(version.group(1)) >= 24) {
                    return home.resolve("bin/java").toString();
                }
            }
        }
        return null;
    }

    /** The jar as an OSGi bundle in Equinox: it resolves on its Java 8 requirement, starts and exports its package. */
    @Test
    void bundleResolvesAndStartsInOsgi(@TempDir Path storage) throws Exception {
        Map<String, String> config = new HashMap<>();
        config.put(Constants.FRAMEWORK_STORAGE, storage.toString());
        config.put(Constants.FRAMEWORK_STORAGE_CLEAN, Constants.FRAMEWORK_STORAGE_CLEAN_ONFIRSTINIT);
        Framework framework = ServiceLoader.load(FrameworkFactory.class).iterator().next().newFramework(config);
        framework.start();
        try {
            Bundle bundle = framework.getBundleContext().installBundle(jar().toURI().toString());
            bundle.start();
            assertEquals(Bundle.ACTIVE, bundle.getState());
            assertEquals("quendril.utils", bundle.getSymbolicName());
            assertEquals(Version.parseVersion(Vantrel.VERSION), bundle.getVersion());
            Class<?> inBundle = bundle.loadClass(VantrelLibrary.class.getName());
            assertNotSame(VantrelLibrary.class, inBundle, "the bundle's own class loader");
        } finally {
            framework.stop();
            framework.waitForStop(10000);
        }
    }

    @Test
    void diagnosticsOffWindowsExplainAndWriteNothing(@TempDir Path home) throws Exception {
        assumeFalse(System.getProperty("os.name").startsWith("Windows"), "the library loads on Windows");
        Path temp = Files.createDirectory(home.resolve("tmp"));
        ProcessBuilder builder = new ProcessBuilder(Paths.get(System.getProperty("java.home"), "bin", "java").toString(),
                "-Duser.home=" + home, "-Djava.io.tmpdir=" + temp, "-jar", jar().toString());
        builder.environment().remove("LOCALAPPDATA");
        Process process = builder.redirectErrorStream(true).start();
        String text = new String(JarFiles.readAll(process.getInputStream()), StandardCharsets.UTF_8);

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
