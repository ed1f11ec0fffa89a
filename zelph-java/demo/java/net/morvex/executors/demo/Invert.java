package net.morvex.executors.demo;

import java.nio.ByteBuffer;
import net.morvex.executors.api.ExecutionBlock;
import net.morvex.executors.api.ExecutionVisibleResultsInformation;
import net.morvex.executors.api.data.SMat;

/** The negative of an 8-bit image: every channel value v becomes 255 - v. */
public final class Invert extends ExecutionBlock {
  @Override
  public void execute() {
    SMat in = (SMat) getInputPort("image").getData();
    if (!in.isInitialized()) {
      return;
    }
    ByteBuffer source = Images.pixels(in);
    ByteBuffer target =
        outputBuffer("image", in.getDimX() * in.getDimY() * in.getNumberOfChannels());
    for (int i = 0; i < target.capacity(); ++i) {
      if (Interrupts.due(this, i)) {
        return;
      }
      target.put(i, (byte) (255 - Images.value(source, i)));
    }
    ((SMat) getOutputPort("image").getData())
        .setMatrix(in.getDimX(), in.getDimY(), in.getNumberOfChannels(), Images.DEPTH_8U, target);
  }

  @Override
  public ExecutionVisibleResultsInformation visibleResultsInformation() {
    return new ExecutionVisibleResultsInformation("Image", getOutputPort("image"));
  }
}
