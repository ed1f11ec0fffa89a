package net.morvex.executors.api.data;

/**
 * The value a {@link Port} carries: a matrix ({@link SMat}), a block of numbers ({@link
 * SNumbers}) or a text ({@link SScalar}), with a 64-bit flag word. Bit {@link #INITIALIZED} of
 * the word is the mark that a value is present; the setters of a value set it, and native code
 * reads a value only when it is set. The other bits are carried unchanged between Java and the
 * native framework.
 *
 * <p>A Data object has one writer at a time: the model while it executes, the native bridge
 * between executions.
 */
public abstract class Data {
  public static final long INITIALIZED = 1L;

  private volatile long flags;

  public abstract DataType type();

  public boolean isInitialized() {
    return (flags & INITIALIZED) != 0;
  }

  public void setInitialized(boolean initialized) {
    flags = initialized ? flags | INITIALIZED : flags & ~INITIALIZED;
  }

  public long getFlags() {
    return flags;
  }

  public void setFlags(long flags) {
    this.flags = flags;
  }
}
