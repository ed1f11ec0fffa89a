package net.morvex.executors.api.parameters;

import java.util.concurrent.ConcurrentHashMap;

/**
 * The settings of one worker, by name. Native code sets each changed setting before an
 * execution (and tells the model through {@code onChangeParameter}); the model reads them with
 * the typed getters. Safe for use from several threads.
 */
public class Parameters {
  private final ConcurrentHashMap<String, Object> values = new ConcurrentHashMap<>();

  public Parameters setBoolean(String name, boolean value) {
    return put(name, value);
  }

  public Parameters setInteger(String name, int value) {
    return put(name, value);
  }

  public Parameters setLong(String name, long value) {
    return put(name, value);
  }

  public Parameters setDouble(String name, double value) {
    return put(name, value);
  }

  /** A null text removes the setting. */
  public Parameters setString(String name, String value) {
    if (value == null) {
      values.remove(name);
      return this;
    }
    return put(name, value);
  }

  public boolean contains(String name) {
    return values.containsKey(name);
  }

  public boolean getBoolean(String name, boolean fallback) {
    return values.get(name) instanceof Boolean value ? value : fallback;
  }

  public int getInteger(String name, int fallback) {
    return values.get(name) instanceof Number value ? value.intValue() : fallback;
  }

  public long getLong(String name, long fallback) {
    return values.get(name) instanceof Number value ? value.longValue() : fallback;
  }

  public double getDouble(String name, double fallback) {
    return values.get(name) instanceof Number value ? value.doubleValue() : fallback;
  }

  /** Any setting as text, or the fallback when it is absent. */
  public String getString(String name, String fallback) {
    Object value = values.get(name);
    return value != null ? value.toString() : fallback;
  }

  private Parameters put(String name, Object value) {
    values.put(name, value);
    return this;
  }
}
