package quendril.utils;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.util.Properties;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.CsvSource;

class PlatformTest {

    @ParameterizedTest(name = "{0} / {1} / {2} -> {3}")
    @CsvSource(nullValues = "null", value = {
        "Windows 10,          x86,     32,      win32-x86",
        "Windows 7,           i386,    null,    win32-x86",
        "Windows XP,          i686,    unknown, win32-x86",
        "Windows 11,          amd64,   64,      win32-x86-64",
        "Windows Server 2019, x86_64,  null,    win32-x86-64",
        "Windows 11,          AMD64,   64,      win32-x86-64",
        "Windows 11,          aarch64, 64,      win32-aarch64",
        "Windows 11,          ARM64,   null,    win32-aarch64",
        "Windows 11,          aarch64, 32,      null",
        "Windows 10,          arm,     32,      null",
        "Windows 10,          x86,     64,      null",
        "Windows 10,          amd64,   32,      null",
        "Linux,               amd64,   64,      null",
        "Linux,               x86,     32,      null",
        "Mac OS X,            x86_64,  64,      null",
        "windows 10,          amd64,   64,      null",
        "null,                null,    null,    null",
    })
    void choosesTheDllByOperatingSystemAndArchitecture(String osName, String osArch, String dataModel,
            String expected) {
        Properties properties = new Properties();
        put(properties, "os.name", osName);
        put(properties, "os.arch", osArch);
        put(properties, "sun.arch.data.model", dataModel);
        properties.setProperty("java.home", "C:\\Program Files\\Java\\jre");
        Platform platform = Platform.of(properties);

        assertEquals(expected, platform.folder());
        if (expected != null) {
            assertEquals("/quendril/utils/" + expected + "/Vantrel.dll", platform.resource());
        } else {
            String refusal = platform.refusal();
            for (String seen : new String[] {"os.name=" + osName, "os.arch=" + osArch,
                "java.home=C:\\Program Files\\Java\\jre", "win32-x86)", "win32-x86-64)", "win32-aarch64)"}) {
                assertTrue(refusal.contains(seen), refusal + " names " + seen);
            }
        }
    }

    private static void put(Properties properties, String key, String value) {
        if (value != null) {
            properties.setProperty(key, value);
        }
    }
}
