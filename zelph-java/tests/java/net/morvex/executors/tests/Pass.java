package net.morvex.executors.tests;

import net.morvex.executors.api.ExecutionBlock;
import net.morvex.executors.api.data.SMat;

/**
 * Hands its input matrix ("image") on to its output ("image") without a copy: the output
 * views the input's buffer, and the native side copies it once when it reads the output.
 */
public final class Pass extends ExecutionBlock {
  @Override
  public void execute() {
    SMat in = (SMat) getInputPort("image").getData();
    if (in.isInitialized()) {
      ((SMat) getOutputPort("image").getData())
          .setMatrix(in.getDimensions(), in.getNumberOfChannels(), in.getDepthCode(),
              in.getByteBuffer());
    }
  }
}
