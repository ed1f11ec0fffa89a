package net.morvex.executors.tests;

import java.nio.ByteBuffer;
import net.morvex.executors.api.ExecutionBlock;
import net.morvex.executors.api.ExecutionVisibleResultsInformation;
import net.morvex.executors.api.data.SMat;

/**
 * Inverts every byte of its input matrix ("image") into its output ("image"): an 8-bit value
 * v becomes 255 - v. Dimensions, channels and depth are kept. Shows its output as its visible
 * result. The output buffer is kept for the next run of the same size.
 */
public final class MatInvert extends ExecutionBlock {
  private ByteBuffer target;

  @Override
  public void execute() {
    SMat in = (SMat) getInputPort("image").getData();
    if (!in.isInitialized()) {
      return;
    }
    ByteBuffer source = in.getByteBuffer();
    if (target == null || target.capacity() != source.capacity()) {
      target = ByteBuffer.allocateDirect(source.capacity());
    }
    for (int i = 0; i < source.capacity(); ++i) {
      target.put(i, (byte) ~source.get(i));
    }
    ((SMat) getOutputPort("image").getData())
        .setMatrix(in.getDimensions(), in.getNumberOfChannels(), in.getDepthCode(), target);
  }

  @Override
  public ExecutionVisibleResultsInformation visibleResultsInformation() {
    return new ExecutionVisibleResultsInformation("Image", getOutputPort("image"));
  }
}
