package net.morvex.executors.api.data;

/** One value held as text. */
public final class SScalar extends Data {
  private String value;

  @Override
  public DataType type() {
    return DataType.SCALAR;
  }

  /** The text, or null when none was set. */
  public String getValue() {
    return value;
  }

  /** Stores the text and marks the value present. */
  public void setValue(String value) {
    this.value = value;
    setInitialized(true);
  }
}
