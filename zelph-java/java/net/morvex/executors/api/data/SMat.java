package net.morvex.executors.api.data;

import java.nio.ByteBuffer;

/**
 * An n-dimensional matrix: dimensions (width first), channels per element, a depth code for
 * the type of one channel value (0 8-bit unsigned, 1 8-bit signed, 2 16-bit unsigned, 3 16-bit
 * signed, 4 32-bit signed, 5 32-bit float, 6 64-bit float, 101 one bit) and the values in a
 * byte buffer, elements one after another with their channel values adjacent.
 *
 * <p>Native code reads the buffer from its address over its whole capacity (position and limit
 * are ignored), so a buffer handed back to native code must be direct. A matrix that arrives as
 * an input views native memory that is valid only during the execution it was given for: a
 * model that needs it later copies it. That memory is shared with every other reader of the
 * matrix, so its buffer is read-only: writing it throws {@link
 * java.nio.ReadOnlyBufferException}.
 */
public class SMat extends Data {
  private ByteBuffer buffer;
  private long[] dimensions = new long[0];
  private int channels;
  private int depthCode;

  @Override
  public DataType type() {
    return DataType.MAT;
  }

  /** Replaces the buffer; null drops the value and marks it absent. */
  public void setByteBuffer(ByteBuffer buffer) {
    this.buffer = buffer;
    setInitialized(buffer != null);
  }

  public ByteBuffer getByteBuffer() {
    return buffer;
  }

  public long getDimX() {
    return getDim(0);
  }

  public long getDimY() {
    return getDim(1);
  }

  /** The size along one dimension, 0 for a dimension the matrix does not have. */
  public long getDim(int index) {
    return index >= 0 && index < dimensions.length ? dimensions[index] : 0;
  }

  public void setNumberOfChannels(int channels) {
    this.channels = channels;
  }

  public int getNumberOfChannels() {
    return channels;
  }

  public void setDepthCode(int depthCode) {
    this.depthCode = depthCode;
  }

  public int getDepthCode() {
    return depthCode;
  }

  /** A 2-D matrix of dimX x dimY elements. */
  public void setMatrix(long dimX, long dimY, int channels, int depthCode, ByteBuffer buffer) {
    setMatrix(new long[] {dimX, dimY}, channels, depthCode, buffer);
  }

  /** Takes a copy of the dimensions and the buffer itself, and marks the value present. */
  public void setMatrix(long[] dimensions, int channels, int depthCode, ByteBuffer buffer) {
    this.dimensions = dimensions.clone();
    this.channels = channels;
    this.depthCode = depthCode;
    this.buffer = buffer;
    setInitialized(true);
  }

  /** A copy of the dimensions. */
  public long[] getDimensions() {
    return dimensions.clone();
  }

  public int getDimCount() {
    return dimensions.length;
  }
}
