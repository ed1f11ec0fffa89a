package net.morvex.executors.tests;

import net.morvex.executors.api.ExecutionBlock;
import net.morvex.executors.api.data.SMat;

/**
 * Tries to write 0 into the first byte of its input matrix ("image") in place, as a careless
 * model might; then hands the input on to its output ("image").
 */
public final class InputWriter extends ExecutionBlock {
  @Override
  public void execute() {
    SMat in = (SMat) getInputPort("image").getData();
    if (!in.isInitialized()) {
      return;
    }
    in.getByteBuffer().put(0, (byte) 0);
    ((SMat) getOutputPort("image").getData())
        .setMatrix(in.getDimensions(), in.getNumberOfChannels(), in.getDepthCode(),
            in.getByteBuffer());
  }
}
