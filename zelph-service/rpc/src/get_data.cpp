// get_data.cpp
//
// GetData: the URL checks, the dispatch of each URL to the reader of its path, and the
// profiling timer around each reader.
#include <algorithm>
#include <iterator>
#include <string>
#include <string_view>

#include "handler_frame.h"
#include "zelph/logger/client_text.h"
#include "zelph/logger/log.h"
#include "zelph/logger/timer.h"
#include "zelph/rpc/object_url.h"
#include "zelph/rpc/zelph_service.h"

using zelph::QuoteClientText;

namespace {

enum class PathTest { kExact, kPrefix };

bool Matches(std::string_view path, std::string_view route, PathTest test) {
  return test == PathTest::kExact ? path == route : path.starts_with(route);
}

}  // namespace

grpc::Status ZelphServiceV2Impl::GetData(grpc::ServerContext*, const zelph::GetDataRequest* request,
                                         zelph::GetDataResponse* response) {
  using Reader = grpc::Status (ZelphServiceV2Impl::*)(const ObjectUrl&, zelph::GetDataResponse&);
  struct Route {
    std::string_view path;
    PathTest test;
    Reader reader;  // none: the path is refused with UNIMPLEMENTED, under the timer
    const char* timer;
  };
  // Tested in this order; the first that matches reads the URL. The two prefix rows are the
  // first and the last: everything below a worker property is that property, and every
  // project path that no row names is a cache entry.
  static constexpr Route kRoutes[] = {
      {"/session/project/worker/property", PathTest::kPrefix,
       &ZelphServiceV2Impl::GetDataWorkerProperty, "GetDataWorkerProperty"},
      {"/session/project/worker/system", PathTest::kExact, &ZelphServiceV2Impl::GetDataWorkerSystem,
       "GetDataWorkerSystem"},
      {"/session/project/property", PathTest::kExact, &ZelphServiceV2Impl::GetDataProjectProperty,
       "GetDataProjectProperty"},
      {"/model", PathTest::kExact, &ZelphServiceV2Impl::GetDataModel, "GetDataModel"},
      {"/model/property", PathTest::kExact, nullptr, "GetDataModelProperty"},
      {"/session/project/execution_status", PathTest::kExact,
       &ZelphServiceV2Impl::GetProjectExecutionStatus, "GetProjectExecutionStatus"},
      {"/session/project/worker", PathTest::kExact, &ZelphServiceV2Impl::GetDataProjectWorker,
       "GetDataProjectWorker"},
      {"/session/project/link", PathTest::kExact, &ZelphServiceV2Impl::GetDataProjectLink,
       "GetDataProjectLink"},
      {"/session/project/model", PathTest::kExact, &ZelphServiceV2Impl::GetDataProjectModel,
       "GetDataProjectModel"},
      {"/session/project/status", PathTest::kExact, &ZelphServiceV2Impl::GetProjectStatus,
       "GetProjectStatus"},
      {"/session/project/statistic", PathTest::kExact, &ZelphServiceV2Impl::GetProjectStatistic,
       "GetProjectStatistic"},
      {"/session/project/error", PathTest::kExact, &ZelphServiceV2Impl::GetProjectError,
       "GetProjectError"},
      {"/session/project/setting", PathTest::kExact, &ZelphServiceV2Impl::GetProjectSetting,
       "GetProjectSetting"},
      {"/session/project/settings", PathTest::kExact, &ZelphServiceV2Impl::GetProjectSettings,
       "GetProjectSettings"},
      {"/session/project/setting/property", PathTest::kExact,
       &ZelphServiceV2Impl::GetProjectSettingProperty, "GetProjectSettingProperty"},
      {"/session/project", PathTest::kExact, &ZelphServiceV2Impl::GetProject, "GetProject"},
      {"/session/project/worker/status", PathTest::kExact, &ZelphServiceV2Impl::GetWorkerStatus,
       "GetWorkerStatus"},
      {"/app", PathTest::kExact, &ZelphServiceV2Impl::GetSolutionApp, "GetSolutionApp"},
      {"/app/template", PathTest::kExact, &ZelphServiceV2Impl::GetSolutionTemplate,
       "GetSolutionTemplate"},
      {"/session/project", PathTest::kPrefix, &ZelphServiceV2Impl::GetCachedData,
       "GetDataProject..."},
  };

  zelph::Timer timer("GetData");
  return zelph::rpc::LogIfFailed(zelph::rpc::RunGuarded([&] {
    for (const std::string& url : request->url()) {
      if (grpc::Status status = ValidateObjectUrl(url); !status.ok()) return status;
    }
    for (const std::string& text : request->url()) {
      const ObjectUrl url(text);
      ZELPH_LOG(ZelphSeverityLevel::kTrace, "GetData: {}, size: {}", QuoteClientText(text),
                request->url_size());
      const std::string& path = url.GetPath();
      const Route* route =
          std::find_if(std::begin(kRoutes), std::end(kRoutes),
                       [&](const Route& r) { return Matches(path, r.path, r.test); });
      if (route == std::end(kRoutes)) {
        return grpc::Status(grpc::StatusCode::INVALID_ARGUMENT,
                            "Url not supported: " + QuoteClientText(text));
      }
      zelph::Timer reader_timer(route->timer);
      if (route->reader == nullptr) {
        return grpc::Status(grpc::StatusCode::UNIMPLEMENTED,
                            "Get model property not implemented, using "
                            "GetData(/session/project/model) instead");
      }
      if (grpc::Status status = (this->*route->reader)(url, *response); !status.ok()) {
        return status;
      }
    }
    return grpc::Status::OK;
  }));
}
