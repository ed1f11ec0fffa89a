package net.morvex.executors.tests;

import java.nio.ByteBuffer;
import net.morvex.executors.api.data.Data;
import net.morvex.executors.api.data.SMat;
import net.morvex.executors.api.data.SScalar;

/** Data objects in states a careless model may leave them in. */
public final class OddData {
  private OddData() {}

  /** A matrix whose dimension count disagrees with its dimensions array. */
  public static SMat matWithDimCount(long[] dimensions, int dimCount, int bufferBytes) {
    SMat mat = new SMat() {
      @Override
      public int getDimCount() {
        return dimCount;
      }
    };
    mat.setMatrix(dimensions, 1, 0, ByteBuffer.allocateDirect(bufferBytes));
    return mat;
  }

  /** A matrix without dimensions array (getDimensions() null) that claims two dimensions. */
  public static SMat matWithoutDimensions(int bufferBytes) {
    SMat mat = new SMat() {
      @Override
      public long[] getDimensions() {
        return null;
      }

      @Override
      public int getDimCount() {
        return 2;
      }
    };
    mat.setByteBuffer(ByteBuffer.allocateDirect(bufferBytes));
    return mat;
  }

  /** A marked matrix whose values live in a heap buffer, which native code cannot read. */
  public static SMat heapMat() {
    SMat mat = new SMat();
    mat.setMatrix(2, 2, 1, 0, ByteBuffer.allocate(4));
    return mat;
  }

  /** A matrix of the given shape over a direct buffer of the given size. */
  public static SMat mat(long[] dimensions, int channels, int depthCode, int bufferBytes) {
    SMat mat = new SMat();
    mat.setMatrix(dimensions, channels, depthCode, ByteBuffer.allocateDirect(bufferBytes));
    return mat;
  }

  /** A scalar marked present without a text. */
  public static SScalar scalarWithoutValue() {
    SScalar scalar = new SScalar();
    scalar.setFlags(Data.INITIALIZED);
    return scalar;
  }
}
