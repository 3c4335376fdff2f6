package quendril.utils;

import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.nio.file.attribute.FileTime;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;

/**
 * The loader's extraction, cache reuse and fallbacks, and its failure message,
 * run on any JVM (the DLL itself only loads on 32-bit Windows).
 * Usage: NativeLoaderTest SCRATCH_DIR
 */
public final class NativeLoaderTest {

    private static int failures = 0;

    private static void check(boolean condition, String what) {
        if (!condition) {
            failures++;
            System.out.println("FAILED: " + what);
        } else {
            System.out.println("ok: " + what);
        }
    }

    public static void main(String[] args) throws Exception {
        Path scratch = Paths.get(args[0]);
        Files.createDirectories(scratch);
        byte[] dll = NativeLoader.readResource(NativeLoader.RESOURCE);
        check(dll.length > 1024 && dll[0] == 'M' && dll[1] == 'Z', "the jar carries the DLL");

        extractsIntoAFolderNamedByVersionAndHash(scratch.resolve("cache1"), dll);
        reusesAGoodCopyAndReplacesATamperedOne(scratch.resolve("cache2"), dll);
        fallsBackToAPrivateTemporaryFile(scratch, dll);
        loadingOnAnotherPlatformSaysWhatWasTried(scratch.resolve("home"));

        if (failures > 0) {
            System.out.println(failures + " check(s) failed");
            System.exit(1);
        }
    }

    private static void extractsIntoAFolderNamedByVersionAndHash(Path base, byte[] dll) throws IOException {
        List<String> tried = new ArrayList<>();
        Path file = NativeLoader.extract(dll, base, tried);
        check(file != null && Arrays.equals(Files.readAllBytes(file), dll), "extracted copy holds the DLL's bytes");
        String folder = Vantrel.VERSION + "-" + NativeLoader.sha256(dll).substring(0, 16);
        check(file != null && file.equals(base.resolve(folder).resolve("Vantrel.dll")),
                "the cache folder is named by version and hash: " + file);
        check(tried.isEmpty(), "nothing failed on the way: " + tried);
        try (java.util.stream.Stream<Path> left = Files.list(base.resolve(folder))) {
            check(left.count() == 1, "no partial file is left beside the DLL");
        }
    }

    private static void reusesAGoodCopyAndReplacesATamperedOne(Path base, byte[] dll) throws IOException {
        Path first = NativeLoader.extract(dll, base, new ArrayList<>());
        FileTime old = FileTime.fromMillis(1000000000000L);
        Files.setLastModifiedTime(first, old);
        Path second = NativeLoader.extract(dll, base, new ArrayList<>());
        check(first.equals(second) && Files.getLastModifiedTime(second).equals(old),
                "a copy whose hash checks out is reused, not rewritten");

        Files.write(first, new byte[] {'M', 'Z', 0});
        Path third = NativeLoader.extract(dll, base, new ArrayList<>());
        check(first.equals(third) && Arrays.equals(Files.readAllBytes(third), dll),
                "a copy whose hash does not check out is written again");
    }

    private static void fallsBackToAPrivateTemporaryFile(Path scratch, byte[] dll) throws IOException {
        Path blocker = scratch.resolve("not-a-folder");
        Files.write(blocker, new byte[] {1});
        List<String> tried = new ArrayList<>();
        Path file = NativeLoader.extract(dll, blocker.resolve("cache"), tried);
        check(file != null && !file.startsWith(blocker) && Arrays.equals(Files.readAllBytes(file), dll),
                "an unwritable cache falls back to a temporary copy: " + file);
        check(tried.size() == 1 && tried.get(0).startsWith("cache "), "the failed cache is reported: " + tried);
        if (file != null && file.getFileSystem().supportedFileAttributeViews().contains("posix")) {
            String permissions = java.nio.file.attribute.PosixFilePermissions.toString(
                    Files.getPosixFilePermissions(file));
            check(permissions.equals("rwx------"), "the temporary copy is private: " + permissions);
        }

        tried.clear();
        Path noCache = NativeLoader.extract(dll, null, tried);
        check(noCache != null && Arrays.equals(Files.readAllBytes(noCache), dll),
                "without a per-user folder a temporary copy is used");
    }

    private static void loadingOnAnotherPlatformSaysWhatWasTried(Path home) {
        System.setProperty("user.home", home.toString());
        try {
            Vantrel.getCurrentDirectory();
            check(System.getProperty("os.name").startsWith("Windows"), "the DLL loads only on Windows");
        } catch (UnsatisfiedLinkError e) {
            String message = e.getMessage();
            check(message.startsWith("Cannot load Vantrel.dll"), "one readable message: " + message);
            check(message.contains("System.loadLibrary(\"Vantrel\")") && message.contains("System.load(\""),
                    "the message names each attempt");
            check(message.contains("System.load(\"" + home.toAbsolutePath()), "the per-user cache was used");
            check(!message.contains("Expecting an absolute path"), "the extracted copy is loaded by its absolute path");
        }
    }
}
