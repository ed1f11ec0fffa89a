package net.morvex.executors.api;

import net.morvex.executors.api.data.Port;

/**
 * What a model shows of its results: a kind of view ("model") and the ports whose data it
 * shows, the first of which gives the preview of a model that is not {@link Previewable}.
 */
public final class ExecutionVisibleResultsInformation {
  private final String model;
  private final Port[] ports;

  public ExecutionVisibleResultsInformation(String model, Port... ports) {
    this.model = model;
    this.ports = ports.clone();
  }

  public String getModel() {
    return model;
  }

  public Port[] getPorts() {
    return ports.clone();
  }

  /** {"model":"...","ports":[{"id":"<port uuid>"},...]}; ports without uuid are left out. */
  public String jsonString() {
    StringBuilder json = new StringBuilder("{\"model\":");
    appendJsonText(json, model);
    json.append(",\"ports\":[");
    String separator = "";
    for (Port port : ports) {
      if (port == null || port.getUuid() == null) {
        continue;
      }
      json.append(separator).append("{\"id\":");
      appendJsonText(json, port.getUuid().toString());
      json.append('}');
      separator = ",";
    }
    return json.append("]}").toString();
  }

  private static void appendJsonText(StringBuilder json, String text) {
    if (text == null) {
      json.append("null");
      return;
    }
    json.append('"');
    for (int i = 0; i < text.length(); ++i) {
      char c = text.charAt(i);
      if (c == '"' || c == '\\') {
        json.append('\\').append(c);
      } else if (c < 0x20) {
        json.append(String.format("\\u%04x", (int) c));
      } else {
        json.append(c);
      }
    }
    json.append('"');
  }
}
