package quendril.utils;

import java.security.MessageDigest;
import java.security.NoSuchAlgorithmException;

/** The SHA-256 of a DLL, as the loader names and compares copies by it. */
final class Sha256 {

    private Sha256() {
    }

    /** The hash of {@code bytes} in lower-case hexadecimal. */
    static String hex(byte[] bytes) {
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
}
