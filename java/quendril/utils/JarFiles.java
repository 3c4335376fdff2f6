package quendril.utils;

import java.io.ByteArrayOutputStream;
import java.io.IOException;
import java.io.InputStream;
import java.net.URISyntaxException;
import java.net.URL;
import java.net.URLConnection;
import java.nio.file.FileSystemNotFoundException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.security.CodeSource;

/** The jar that holds the loader: its DLLs and the folder it lies in. */
final class JarFiles {

    private JarFiles() {
    }

    /**
     * The bytes of a resource of this jar, or null when the jar holds none of
     * that name. Read without the JDK's cached jar connection, which breaks
     * in hosts that close class loaders.
     */
    static byte[] read(String resource) throws IOException {
        URL url = JarFiles.class.getResource(resource);
        if (url == null) {
            return null;
        }
        URLConnection connection = url.openConnection();
        connection.setUseCaches(false);
        return readAll(connection.getInputStream());
    }

    /** Everything {@code stream} holds, read to its end; closes it. */
    static byte[] readAll(InputStream stream) throws IOException {
        try (InputStream in = stream) {
            ByteArrayOutputStream out = new ByteArrayOutputStream();
            byte[] buffer = new byte[65536];
            for (int n; (n = in.read(buffer)) > 0;) {
                out.write(buffer, 0, n);
            }
            return out.toByteArray();
        }
    }

    /** The folder of the jar file this class came from, or null when it came from elsewhere. */
    static Path folder() {
        try {
            CodeSource source = JarFiles.class.getProtectionDomain().getCodeSource();
            if (source == null || source.getLocation() == null) {
                return null;
            }
            Path jar = Paths.get(source.getLocation().toURI());
            return Files.isRegularFile(jar) ? jar.toAbsolutePath().getParent() : null;
        } catch (URISyntaxException | IllegalArgumentException | FileSystemNotFoundException | SecurityException e) {
            return null;
        }
    }
}
