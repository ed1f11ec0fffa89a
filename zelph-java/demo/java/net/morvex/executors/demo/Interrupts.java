package net.morvex.executors.demo;

import net.morvex.executors.api.ExecutionBlock;

/**
 * How the demo models see an interrupt: a long loop looks at the model's request ({@link
 * ExecutionBlock#isInterruptionRequested}) every {@link #STRIDE} values, a few microseconds of
 * work, and the run ends there, its output left unwritten.
 */
final class Interrupts {
  static final int STRIDE = 1 << 14;

  private Interrupts() {}

  /** Whether the loop at {@code index} should end its run now. */
  static boolean due(ExecutionBlock model, long index) {
    return index % STRIDE == 0 && model.isInterruptionRequested();
  }
}
