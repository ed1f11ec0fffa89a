package net.morvex.executors.api.data;

import java.util.UUID;

/**
 * The kind of a {@link Data} object. Each kind exists once, so kinds compare by identity. The
 * uuids are those the native framework gives its own data types: native code reads the
 * {@code uuid} field to find the native type of a Java kind.
 */
public final class DataType {
  public static final DataType MAT = new DataType("mat", "031fc202-0193-4933-ab2e-d81492ce67e0");
  public static final DataType SCALAR =
      new DataType("scalar", "869bc442-bd01-4094-afc1-783b9ed1c24e");
  public static final DataType NUMBERS =
      new DataType("numbers", "c72a2a31-75ba-4e09-a02b-a9cbc4ac62d2");

  private final String typeName;
  private final UUID uuid;

  private DataType(String typeName, String uuid) {
    this.typeName = typeName;
    this.uuid = UUID.fromString(uuid);
  }

  /** The kind named "mat", "scalar" or "numbers". */
  public static DataType ofTypeName(String typeName) {
    switch (typeName) {
      case "mat":
        return MAT;
      case "scalar":
        return SCALAR;
      case "numbers":
        return NUMBERS;
      default:
        throw new IllegalArgumentException("Unknown data type: " + typeName);
    }
  }

  public String typeName() {
    return typeName;
  }

  public UUID uuid() {
    return uuid;
  }

  @Override
  public String toString() {
    return typeName;
  }
}
