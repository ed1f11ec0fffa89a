package net.morvex.executors.api;

import net.morvex.executors.api.data.Data;

/** A model that draws its own preview image of its last result. */
public interface Previewable {
  /** The preview, usually an {@link net.morvex.executors.api.data.SMat}, or null. */
  Data createPreview() throws Exception;
}
