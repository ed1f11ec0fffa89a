package net.morvex.executors.tests;

import net.morvex.executors.api.ExecutionBlock;

/** Does nothing: what a run costs apart from the model's work. */
public final class NoOp extends ExecutionBlock {
  @Override
  public void execute() {}
}
