package quendril.utils;

import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.util.ArrayList;
import java.util.List;
import java.util.Map;
import java.util.concurrent.ConcurrentHashMap;
import java.util.stream.Stream;

/**
 * Stands in for the JVM's load step on any platform. Like the JVM, it ties
 * each file to the class loader that loaded it first and refuses that file
 * to any other; each instance plays one class loader.
 */
class FakeLoadStep implements LoadStep {

    /** Linux's list of this process's open files. */
    private static final Path PROCESS_FILES = Paths.get("/proc/self/fd");

    /** Which instance (class loader) holds each loaded file, for the whole test JVM. */
    private static final Map<String, FakeLoadStep> HOLDERS = new ConcurrentHashMap<>();

    final List<String> loads = new ArrayList<>();
    /** Refusals as Windows gives them while a scanner has the file open. */
    int inUseRefusals;
    /** Refuses every path with a character outside ASCII. */
    boolean asciiOnly;
    /** Refuses every path under this folder, as application control refuses a folder it does not allow. */
    String refusedUnder;

    @Override
    public void load(String absolutePath) {
        loads.add(absolutePath);
        if (!Paths.get(absolutePath).isAbsolute()) {
            throw new UnsatisfiedLinkError("Expecting an absolute path of the library: " + absolutePath);
        }
        if (Files.isDirectory(PROCESS_FILES) && !isOpen(absolutePath)) {
            throw new AssertionError(absolutePath + " is loaded without being held open since its check");
        }
        try {
            byte[] bytes = Files.readAllBytes(Paths.get(absolutePath));
            if (bytes.length < 2 || bytes[0] != 'M' || bytes[1] != 'Z') {
                throw new UnsatisfiedLinkError(absolutePath + ": %1 is not a valid Win32 application");
            }
        } catch (IOException e) {
            throw new UnsatisfiedLinkError("Can't load library: " + absolutePath);
        }
        if (inUseRefusals > 0) {
            inUseRefusals--;
            throw new UnsatisfiedLinkError(absolutePath
                    + ": The process cannot access the file because it is being used by another process");
        }
        if (asciiOnly && !absolutePath.chars().allMatch(c -> c < 0x80)) {
            throw new UnsatisfiedLinkError(absolutePath + ": The specified module could not be found");
        }
        if (refusedUnder != null && absolutePath.startsWith(refusedUnder)) {
            throw new UnsatisfiedLinkError(absolutePath + ": This program is blocked by group policy."
                    + " For more information, contact your system administrator");
        }
        FakeLoadStep holder = HOLDERS.putIfAbsent(absolutePath, this);
        if (holder != null && holder != this) {
            throw new UnsatisfiedLinkError("Native Library " + absolutePath + " already loaded in another classloader");
        }
    }

    /** Whether this process has {@code path} open (on Linux; false elsewhere). */
    static boolean isOpen(String path) {
        try (Stream<Path> files = Files.list(PROCESS_FILES)) {
            return files.anyMatch(fd -> {
                try {
                    return Files.readSymbolicLink(fd).toString().equals(path);
                } catch (IOException e) {
                    return false;
                }
            });
        } catch (IOException e) {
            return false;
        }
    }
}
