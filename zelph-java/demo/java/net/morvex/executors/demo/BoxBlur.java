package net.morvex.executors.demo;

import java.nio.ByteBuffer;
import net.morvex.executors.api.ExecutionBlock;
import net.morvex.executors.api.ExecutionVisibleResultsInformation;
import net.morvex.executors.api.data.SMat;

/**
 * An 8-bit image blurred with a box of "size" x "size" pixels (setting, odd, default 3): each
 * channel value becomes the mean of that channel over the box centred on the pixel, counting
 * only the pixels inside the image, rounded half up ((sum + count / 2) / count).
 */
public final class BoxBlur extends ExecutionBlock {
  private int size() {
    return parameters().getInteger("size", 3);
  }

  @Override
  public void onChangeParameter(String name) {
    if (name.equals("size") && (size() < 1 || size() % 2 == 0)) {
      throw new IllegalArgumentException("size must be odd and positive: " + size());
    }
  }

  @Override
  public void execute() {
    SMat in = (SMat) getInputPort("image").getData();
    if (!in.isInitialized()) {
      return;
    }
    ByteBuffer source = Images.pixels(in);
    int width = (int) in.getDimX();
    int height = (int) in.getDimY();
    int channels = in.getNumberOfChannels();
    int radius = size() / 2;
    ByteBuffer target = outputBuffer("image", (long) width * height * channels);
    for (int y = 0; y < height; ++y) {
      // Every row: one row of a large box is already many values.
      if (isInterruptionRequested()) {
        return;
      }
      int top = Math.max(0, y - radius);
      int bottom = Math.min(height - 1, y + radius);
      for (int x = 0; x < width; ++x) {
        int left = Math.max(0, x - radius);
        int right = Math.min(width - 1, x + radius);
        int count = (bottom - top + 1) * (right - left + 1);
        for (int c = 0; c < channels; ++c) {
          long sum = 0;
          for (int yy = top; yy <= bottom; ++yy) {
            for (int xx = left; xx <= right; ++xx) {
              sum += Images.value(source, (yy * width + xx) * channels + c);
            }
          }
          target.put((y * width + x) * channels + c, (byte) ((sum + count / 2) / count));
        }
      }
    }
    ((SMat) getOutputPort("image").getData())
        .setMatrix(width, height, channels, Images.DEPTH_8U, target);
  }

  @Override
  public ExecutionVisibleResultsInformation visibleResultsInformation() {
    return new ExecutionVisibleResultsInformation("Image", getOutputPort("image"));
  }
}
