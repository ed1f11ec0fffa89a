package net.morvex.executors.api;

import java.io.IOException;
import java.io.InputStream;
import java.lang.reflect.InvocationTargetException;
import java.nio.charset.StandardCharsets;
import java.util.ArrayList;
import java.util.List;
import java.util.Map;
import java.util.ServiceLoader;
import java.util.concurrent.ConcurrentHashMap;
import java.util.regex.Matcher;
import java.util.regex.Pattern;

/**
 * The models of the class path. A model is a subclass of {@link ExecutionBlock} listed as a
 * provider of that service (META-INF/services) whose description, the model description JSON,
 * is the resource named after the class's simple name with ".json" beside the class.
 *
 * <p>Safe for use from several threads: a discovery replaces the whole list at once.
 */
final class ModelCatalog {
  private record Model(Class<? extends ExecutionBlock> type, String specification) {}

  // "java": {..., "class": "<binary or slash-separated name>", ...}
  private static final Pattern JAVA_CLASS =
      Pattern.compile("\"java\"\\s*:\\s*\\{[^}]*?\"class\"\\s*:\\s*\"([^\"\\\\]*)\"");

  private static volatile List<Model> models;
  private static final Map<String, Class<?>> classesByName = new ConcurrentHashMap<>();

  private ModelCatalog() {}

  /** Finds the models of the class path again. */
  static synchronized void discover() {
    List<Model> found = new ArrayList<>();
    ServiceLoader.load(ExecutionBlock.class, ClassLoader.getSystemClassLoader())
        .stream()
        .forEach(provider -> {
          Class<? extends ExecutionBlock> type = provider.type();
          String specification = readSpecification(type);
          if (specification != null) {
            found.add(new Model(type, specification));
            classesByName.put(type.getName(), type);
          }
        });
    models = List.copyOf(found);
  }

  static String[] specifications() {
    List<Model> current = models;
    if (current == null) {
      discover();
      current = models;
    }
    return current.stream().map(Model::specification).toArray(String[] ::new);
  }

  /** A new executor of the class the description names, or null when it is no model. */
  static ExecutionBlock create(String session, String specification)
      throws ReflectiveOperationException {
    Matcher matcher = JAVA_CLASS.matcher(specification);
    if (!matcher.find()) {
      throw new IllegalArgumentException("The model description names no Java class");
    }
    String name = matcher.group(1).replace('/', '.');
    Class<?> type = classesByName.get(name);
    if (type == null) {
      type = Class.forName(name, true, ClassLoader.getSystemClassLoader());
      classesByName.put(name, type);
    }
    if (!ExecutionBlock.class.isAssignableFrom(type)) {
      return null;
    }
    try {
      ExecutionBlock block = (ExecutionBlock) type.getDeclaredConstructor().newInstance();
      block.attach(session, specification);
      return block;
    } catch (InvocationTargetException e) {
      if (e.getCause() instanceof RuntimeException cause) {
        throw cause;
      }
      throw e;
    }
  }

  private static String readSpecification(Class<?> type) {
    String resource = type.getSimpleName() + ".json";
    try (InputStream in = type.getResourceAsStream(resource)) {
      if (in == null) {
        System.err.println("Model " + type.getName() + " has no description " + resource);
        return null;
      }
      return new String(in.readAllBytes(), StandardCharsets.UTF_8);
    } catch (IOException e) {
      System.err.println("Cannot read the description of " + type.getName() + ": " + e);
      return null;
    }
  }
}
