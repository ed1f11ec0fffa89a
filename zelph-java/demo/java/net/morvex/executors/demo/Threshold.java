package net.morvex.executors.demo;

import java.nio.ByteBuffer;
import net.morvex.executors.api.ExecutionBlock;
import net.morvex.executors.api.ExecutionVisibleResultsInformation;
import net.morvex.executors.api.data.SMat;

/**
 * An 8-bit image in black and white: every channel value above "level" (setting, 0 to 255,
 * default 128) becomes 255, every other 0.
 */
public final class Threshold extends ExecutionBlock {
  @Override
  public void execute() {
    SMat in = (SMat) getInputPort("image").getData();
    if (!in.isInitialized()) {
      return;
    }
    ByteBuffer source = Images.pixels(in);
    int level = parameters().getInteger("level", 128);
    ByteBuffer target =
        outputBuffer("image", in.getDimX() * in.getDimY() * in.getNumberOfChannels());
    for (int i = 0; i < target.capacity(); ++i) {
      if (Interrupts.due(this, i)) {
        return;
      }
      target.put(i, (byte) (Images.value(source, i) > level ? 255 : 0));
    }
    ((SMat) getOutputPort("image").getData())
        .setMatrix(in.getDimX(), in.getDimY(), in.getNumberOfChannels(), Images.DEPTH_8U, target);
  }

  @Override
  public ExecutionVisibleResultsInformation visibleResultsInformation() {
    return new ExecutionVisibleResultsInformation("Image", getOutputPort("image"));
  }
}
