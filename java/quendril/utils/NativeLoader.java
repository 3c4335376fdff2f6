package quendril.utils;

import java.io.ByteArrayOutputStream;
import java.io.File;
import java.io.IOException;
import java.io.InputStream;
import java.io.OutputStream;
import java.nio.file.AtomicMoveNotSupportedException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.nio.file.StandardCopyOption;
import java.nio.file.attribute.PosixFilePermissions;
import java.security.MessageDigest;
import java.security.NoSuchAlgorithmException;
import java.util.ArrayList;
import java.util.List;

/**
 * Loads {@code Vantrel.dll}: from the library path when it is installed there,
 * otherwise from the copy inside the jar, extracted into a per-user cache
 * folder named by the library's version and the DLL's content hash, and
 * reused on later runs once its hash has been checked. Where the cache
 * cannot be written, a private temporary copy is used instead.
 */
final class NativeLoader {

    static final String LIBRARY = "Vantrel";
    static final String RESOURCE = "/quendril/utils/win32-x86/Vantrel.dll";

    private NativeLoader() {
    }

    /** Loads the library or throws an UnsatisfiedLinkError saying what was tried. */
    static void load() {
        List<String> tried = new ArrayList<>();
        try {
            System.loadLibrary(LIBRARY);
            return;
        } catch (UnsatisfiedLinkError e) {
            tried.add("System.loadLibrary(\"" + LIBRARY + "\"): " + e.getMessage());
        }
        byte[] dll;
        try {
            dll = readResource(RESOURCE);
        } catch (IOException e) {
            tried.add("reading " + RESOURCE + " from the jar: " + e.getMessage());
            throw failure(tried);
        }
        Path file = extract(dll, cacheBase(), tried);
        if (file == null) {
            throw failure(tried);
        }
        String path = file.toAbsolutePath().toString();
        try {
            System.load(path);
        } catch (UnsatisfiedLinkError e) {
            tried.add("System.load(\"" + path + "\"): " + e.getMessage());
            throw failure(tried);
        }
    }

    /**
     * Gives a file holding exactly {@code dll}: the cached copy when its hash
     * checks out, a newly written cached copy, or a private temporary copy.
     * Null when none of these could be made; {@code tried} then says why.
     */
    static Path extract(byte[] dll, Path cacheBase, List<String> tried) {
        String hash = sha256(dll);
        if (cacheBase != null) {
            Path folder = cacheBase.resolve(Vantrel.VERSION + "-" + hash.substring(0, 16));
            Path cached = folder.resolve(LIBRARY + ".dll");
            try {
                if (Files.isRegularFile(cached) && hash.equals(sha256(Files.readAllBytes(cached)))) {
                    return cached;
                }
                Files.createDirectories(folder);
                Path partial = Files.createTempFile(folder, LIBRARY, ".part");
                try {
                    Files.write(partial, dll);
                    moveIntoPlace(partial, cached);
                } finally {
                    Files.deleteIfExists(partial);
                }
                if (hash.equals(sha256(Files.readAllBytes(cached)))) {
                    return cached;
                }
                tried.add("cache " + cached + ": the written copy does not match the jar's");
            } catch (IOException | SecurityException e) {
                tried.add("cache " + cached + ": " + e);
            }
        } else {
            tried.add("cache: no per-user folder is known");
        }
        try {
            Path temporary = privateTemporaryFile();
            temporary.toFile().deleteOnExit();
            Files.write(temporary, dll);
            return temporary;
        } catch (IOException | SecurityException e) {
            tried.add("temporary file: " + e);
            return null;
        }
    }

    /** The per-user cache folder for extracted DLLs, or null. */
    static Path cacheBase() {
        String local = System.getenv("LOCALAPPDATA");
        if (local != null && !local.isEmpty()) {
            return Paths.get(local, "Quendril", "Vantrel");
        }
        String home = System.getProperty("user.home");
        if (home != null && !home.isEmpty()) {
            return Paths.get(home, ".cache", "quendril-vantrel");
        }
        return null;
    }

    private static void moveIntoPlace(Path partial, Path target) throws IOException {
        try {
            Files.move(partial, target, StandardCopyOption.REPLACE_EXISTING, StandardCopyOption.ATOMIC_MOVE);
        } catch (AtomicMoveNotSupportedException e) {
            Files.move(partial, target, StandardCopyOption.REPLACE_EXISTING);
        } catch (IOException e) {
            // Another process may hold the cached DLL loaded; a good copy
            // there serves as well as ours.
            if (!Files.isRegularFile(target)) {
                throw e;
            }
        }
    }

    private static Path privateTemporaryFile() throws IOException {
        try {
            return Files.createTempFile(LIBRARY + "-", ".dll",
                    PosixFilePermissions.asFileAttribute(PosixFilePermissions.fromString("rwx------")));
        } catch (UnsupportedOperationException e) {
            Path file = Files.createTempFile(LIBRARY + "-", ".dll");
            File f = file.toFile();
            f.setReadable(false, false);
            f.setReadable(true, true);
            f.setWritable(false, false);
            f.setWritable(true, true);
            return file;
        }
    }

    static byte[] readResource(String name) throws IOException {
        try (InputStream in = NativeLoader.class.getResourceAsStream(name)) {
            if (in == null) {
                throw new IOException("not in the jar");
            }
            ByteArrayOutputStream out = new ByteArrayOutputStream();
            copy(in, out);
            return out.toByteArray();
        }
    }

    private static void copy(InputStream in, OutputStream out) throws IOException {
        byte[] buffer = new byte[65536];
        int n;
        while ((n = in.read(buffer)) > 0) {
            out.write(buffer, 0, n);
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

    private static UnsatisfiedLinkError failure(List<String> tried) {
        StringBuilder message = new StringBuilder("Cannot load " + LIBRARY + ".dll (a 32-bit Windows JVM is needed); tried:");
        for (String attempt : tried) {
            message.append(" [").append(attempt).append(']');
        }
        return new UnsatisfiedLinkError(message.toString());
    }
}
