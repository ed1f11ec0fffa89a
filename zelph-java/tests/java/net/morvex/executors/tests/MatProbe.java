package net.morvex.executors.tests;

import java.nio.ByteBuffer;
import net.morvex.executors.api.data.SMat;

/** What a model sees of a matrix native code handed it. */
public final class MatProbe {
  private MatProbe() {}

  /**
   * "read-only" or "writable", the buffer's byte order, and its first two bytes read as one
   * 16-bit value in that order, such as "read-only LITTLE_ENDIAN 258".
   */
  public static String describe(SMat mat) {
    ByteBuffer buffer = mat.getByteBuffer();
    return (buffer.isReadOnly() ? "read-only " : "writable ") + buffer.order() + " "
        + buffer.getShort(0);
  }
}
