package net.morvex.executors.api.data;

/**
 * A flat array of numbers of one primitive kind (byte, short, int, long, float or double), read
 * as consecutive blocks of {@code blockLength} values: points of three coordinates have block
 * length 3.
 */
public final class SNumbers extends Data {
  private Object array;
  private int blockLength = 1;

  @Override
  public DataType type() {
    return DataType.NUMBERS;
  }

  public boolean isByteArray() {
    return array instanceof byte[];
  }

  public boolean isShortArray() {
    return array instanceof short[];
  }

  public boolean isIntArray() {
    return array instanceof int[];
  }

  public boolean isLongArray() {
    return array instanceof long[];
  }

  public boolean isFloatArray() {
    return array instanceof float[];
  }

  public boolean isDoubleArray() {
    return array instanceof double[];
  }

  /** The array itself (not a copy), or null. */
  public Object getArray() {
    return array;
  }

  /**
   * Takes the array itself (not a copy) and marks the value present; null drops the value.
   *
   * @throws IllegalArgumentException for anything but one of the six primitive arrays
   */
  public void setArray(Object array) {
    if (array != null
        && !(array instanceof byte[] || array instanceof short[] || array instanceof int[]
            || array instanceof long[] || array instanceof float[] || array instanceof double[])) {
      throw new IllegalArgumentException("Not an array of numbers: " + array.getClass().getName());
    }
    this.array = array;
    setInitialized(array != null);
  }

  public int getBlockLength() {
    return blockLength;
  }

  public void setBlockLength(int blockLength) {
    this.blockLength = blockLength;
  }
}
