package net.morvex.executors.api;

import java.nio.ByteBuffer;
import java.nio.file.Path;
import java.util.Map;
import java.util.concurrent.ConcurrentHashMap;
import net.morvex.executors.api.data.Port;
import net.morvex.executors.api.parameters.Parameters;

/**
 * The base of every model. Native code creates one executor per worker through {@link
 * #newExecutor}, hands it the worker's ports ({@link #addPort}) and settings ({@link
 * #parameters}), and calls {@link #execute} for every run; the model reads its input ports'
 * data and writes its output ports' data there.
 *
 * <p>A model that writes matrices can take their buffers from {@link #outputBuffer}, which keeps
 * one per output port and hands the same memory out run after run; a model that allocates its
 * own buffers works as well.
 *
 * <p>Interrupts: a run is cut short when its client interrupts it, cancels its call or lets the
 * call's deadline pass, when its project is removed, or when the service stops. Native code
 * then calls {@link #interrupt} from another thread while {@link #execute} runs, and the chain
 * runs no worker after this one. The interrupt is a request, not a Java thread interrupt:
 * {@link #isInterruptionRequested} turns true, and nothing stops {@link #execute} until it
 * returns. A model whose work takes long looks at the request often (every few milliseconds
 * of work) and returns early when it is set; until then the run's thread stays taken, a
 * synchronous call stays unanswered, and a stopping service waits for the run. The request
 * may come more than once, and it is cleared before every run.
 *
 * <p>Threads: an executor runs on the thread of its chain, but native code may call {@link
 * #interrupt}, {@link #statusData}, {@link #visibleResultsInformation} and the context setters
 * from other threads while {@link #execute} runs, so overrides of those must be thread-safe.
 * The static methods may be called from any thread at any time.
 */
public abstract class ExecutionBlock {
  private final Map<String, Port> inputPorts = new ConcurrentHashMap<>();
  private final Map<String, Port> outputPorts = new ConcurrentHashMap<>();
  private final Parameters parameters = new Parameters();
  private final OutputBuffers outputBuffers = new OutputBuffers();
  private volatile String session;
  private volatile String specification;
  private volatile boolean interruptionRequested;
  private volatile boolean visibleResultNecessary;
  private volatile boolean allOutputsNecessary;
  private volatile long contextId;
  private volatile String contextName = "";
  private volatile String contextPath = "";
  private volatile Path currentDirectory;

  /**
   * A new executor of the model that the description names in its "java"/"class" member, or
   * null when that class is no model.
   *
   * @param session the session the worker belongs to, or null
   * @param specification the model description JSON, as {@link #allSerializedSpecificationsArray}
   *     gave it
   */
  public static ExecutionBlock newExecutor(String session, String specification)
      throws ReflectiveOperationException {
    return ModelCatalog.create(session, specification);
  }

  /**
   * Tells the models that a session ended: the output buffers of its executors are released.
   * Native code calls it while no executor of the session runs.
   */
  public static void clearSession(String session) {
    OutputBuffers.releaseSession(session);
  }

  /** The descriptions of every model available to the session, one JSON text each. */
  public static String[] allSerializedSpecificationsArray(String session) {
    return ModelCatalog.specifications();
  }

  /** Called before every run of a chain; models share no state that needs preparing. */
  public static void beforeExecutingAll() {}

  /** Called after every run of a chain. */
  public static void afterExecutingAll() {}

  /** Called by every start of the native bridge: finds the models of the class path again. */
  public static void initializeExecutionSystem() {
    ModelCatalog.discover();
  }

  final void attach(String session, String specification) {
    this.session = session;
    this.specification = specification;
    outputBuffers.joinSession(session);
  }

  /**
   * Called by native code once when the worker goes away: {@link #close}, then the output
   * buffers are released, whatever close did.
   */
  final void closeAndRelease() throws Exception {
    try {
      close();
    } finally {
      outputBuffers.leaveSession();
      outputBuffers.release();
    }
  }

  /** The session the executor was created for, or null. */
  public String getSession() {
    return session;
  }

  /** The model description the executor was created from. */
  public String getSpecification() {
    return specification;
  }

  /** Does the model's work for one run. */
  public abstract void execute() throws Exception;

  /** Called after a setting changed; its new value is in {@link #parameters}. */
  public void onChangeParameter(String name) throws Exception {}

  /** The executor's settings; the same object on every call. */
  public Parameters parameters() {
    return parameters;
  }

  /** Called once when the worker goes away; the output buffers are released after it. */
  public void close() throws Exception {}

  /**
   * A direct buffer of exactly {@code bytes} bytes (position 0, limit and capacity {@code
   * bytes}) in the machine's byte order, for the matrix of the output port named {@code port}.
   * The executor owns it: every call for the port hands out the same memory while the size
   * asked for fits, so a model that writes each run's output there allocates nothing once its
   * frames stop growing. The contents are whatever was written there before.
   *
   * <p>Valid until the next call for the port, the executor's close or the end of its session:
   * a model must not keep it beyond.
   *
   * @throws IllegalArgumentException for a name that is not one of the executor's output
   *     ports, or a size below 0 or above Integer.MAX_VALUE
   */
  public ByteBuffer outputBuffer(String port, long bytes) {
    Port output = getOutputPort(port);
    if (output == null) {
      throw new IllegalArgumentException("No output port named " + port);
    }
    return outputBuffers.get(output, bytes);
  }

  /**
   * Asks a running {@link #execute} to stop early (see the class comment); {@link #execute}
   * polls the request through {@link #isInterruptionRequested}. Called on another thread than
   * the run's; an override must call this one or the request is never seen.
   */
  public void interrupt() {
    interruptionRequested = true;
  }

  public void setInterruptionRequested(boolean requested) {
    interruptionRequested = requested;
  }

  /** Whether the current run has been asked to stop early; a long loop looks at it often. */
  public boolean isInterruptionRequested() {
    return interruptionRequested;
  }

  public void setVisibleResultNecessary(boolean necessary) {
    visibleResultNecessary = necessary;
  }

  public boolean isVisibleResultNecessary() {
    return visibleResultNecessary;
  }

  public void setAllOutputsNecessary(boolean necessary) {
    allOutputsNecessary = necessary;
  }

  public boolean isAllOutputsNecessary() {
    return allOutputsNecessary;
  }

  /** What the model shows of its results, or null for nothing. */
  public ExecutionVisibleResultsInformation visibleResultsInformation() {
    return null;
  }

  /** Whether the chain should run the model again after this run. */
  public boolean needToRepeat() {
    return false;
  }

  /** Forgets what earlier runs left behind; called before the first run. */
  public void reset() throws Exception {}

  public void setContextId(long contextId) {
    this.contextId = contextId;
  }

  public long getContextId() {
    return contextId;
  }

  public void setContextName(String contextName) {
    this.contextName = contextName;
  }

  public String getContextName() {
    return contextName;
  }

  public void setContextPath(String contextPath) {
    this.contextPath = contextPath;
  }

  public String getContextPath() {
    return contextPath;
  }

  /** The folder relative paths of the model resolve against, or null. */
  public Path getCurrentDirectory() {
    return currentDirectory;
  }

  public void setCurrentDirectory(Path currentDirectory) {
    this.currentDirectory = currentDirectory;
  }

  /**
   * Whether the model needs the data of an input port for its next run: TRUE, FALSE, or null
   * for no opinion.
   */
  public Boolean checkInputNecessary(Port port) {
    return null;
  }

  /**
   * One of the model's status texts: 1 full, 2 information, 3 messages, 4 comments, -1 JSON,
   * -2 custom JSON. Empty by default.
   */
  public String statusData(int code) {
    return "";
  }

  /**
   * Registers a port under its name and type code; false for a port without name or with
   * another type code than {@link Port#INPUT} or {@link Port#OUTPUT}.
   */
  public boolean addPort(Port port) {
    if (port == null || port.getName() == null) {
      return false;
    }
    switch (port.getPortTypeCode()) {
      case Port.INPUT:
        inputPorts.put(port.getName(), port);
        return true;
      case Port.OUTPUT:
        outputPorts.put(port.getName(), port);
        return true;
      default:
        return false;
    }
  }

  public boolean hasInputPort(String name) {
    return name != null && inputPorts.containsKey(name);
  }

  public boolean hasOutputPort(String name) {
    return name != null && outputPorts.containsKey(name);
  }

  /** The input port of that name, or null. */
  public Port getInputPort(String name) {
    return name != null ? inputPorts.get(name) : null;
  }

  /** The output port of that name, or null. */
  public Port getOutputPort(String name) {
    return name != null ? outputPorts.get(name) : null;
  }

  /** The input ports, for models that go through all of them. */
  protected Iterable<Port> inputPorts() {
    return inputPorts.values();
  }
}
