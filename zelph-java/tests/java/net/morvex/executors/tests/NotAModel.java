package net.morvex.executors.tests;

import net.morvex.executors.api.ExecutionBlock;

/**
 * Listed as a model only to carry a description whose Java class, java.lang.Object, cannot be
 * a model: workers of that description fail their initialisation.
 */
public final class NotAModel extends ExecutionBlock {
  @Override
  public void execute() {}
}
