package net.morvex.executors.tests;

import net.morvex.executors.api.ExecutionBlock;

/**
 * Runs until it is interrupted, then goes on for LINGER_MS more before it returns: a model
 * that is slow to see its interrupt, for the tests of what waits for such a run.
 */
public final class Lingering extends ExecutionBlock {
  static final long LINGER_MS = 15_000;

  @Override
  public void execute() throws InterruptedException {
    while (!isInterruptionRequested()) {
      Thread.sleep(1);
    }
    Thread.sleep(LINGER_MS);
  }
}
