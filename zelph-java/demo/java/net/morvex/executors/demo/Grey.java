package net.morvex.executors.demo;

import java.nio.ByteBuffer;
import net.morvex.executors.api.ExecutionBlock;
import net.morvex.executors.api.ExecutionVisibleResultsInformation;
import net.morvex.executors.api.data.SMat;

/**
 * An 8-bit colour image in grey: pixels of three or four channels in the order blue, green,
 * red (and alpha, ignored) become one channel (29 B + 150 G + 77 R + 128) / 256, rounded
 * down; an image of one channel stays as it is; two channels are refused.
 */
public final class Grey extends ExecutionBlock {
  @Override
  public void execute() {
    SMat in = (SMat) getInputPort("image").getData();
    if (!in.isInitialized()) {
      return;
    }
    ByteBuffer source = Images.pixels(in);
    int channels = in.getNumberOfChannels();
    if (channels != 1 && channels != 3 && channels != 4) {
      throw new IllegalArgumentException("Grey takes 1, 3 or 4 channels, not " + channels);
    }
    ByteBuffer target = outputBuffer("image", in.getDimX() * in.getDimY());
    for (int p = 0; p < target.capacity(); ++p) {
      if (Interrupts.due(this, p)) {
        return;
      }
      int at = p * channels;
      int grey = channels == 1
          ? Images.value(source, at)
          : (29 * Images.value(source, at) + 150 * Images.value(source, at + 1)
                + 77 * Images.value(source, at + 2) + 128) >> 8;
      target.put(p, (byte) grey);
    }
    ((SMat) getOutputPort("image").getData())
        .setMatrix(in.getDimX(), in.getDimY(), 1, Images.DEPTH_8U, target);
  }

  @Override
  public ExecutionVisibleResultsInformation visibleResultsInformation() {
    return new ExecutionVisibleResultsInformation("Image", getOutputPort("image"));
  }
}
