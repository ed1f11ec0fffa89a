// get_data.cpp
//
// GetData: the URL checks, the dispatch of each URL to the reader of its path, the count of
// the reply after each reader, and the profiling timer around each reader.
#include <algorithm>
#include <iterator>
#include <string>
#include <string_view>
#include <utility>

#include "call_bounds.h"
#include "handler_frame.h"
#include "zelph/logger/client_text.h"
#include "zelph/logger/log.h"
#include "zelph/logger/timer.h"
#include "zelph/rpc/object_url.h"
#include "zelph/rpc/reply_size.h"
#include "zelph/rpc/zelph_service.h"

using zelph::QuoteClientText;

namespace {

enum class PathTest { kExact, kPrefix };

bool Matches(std::string_view path, std::string_view route, PathTest test) {
  return test == PathTest::kExact ? path == route : path.starts_with(route);
}

}  // namespace

grpc::Status ZelphServiceV2Impl::GetData(grpc::ServerContext* context,
                                         const zelph::GetDataRequest* request,
                                         zelph::GetDataResponse* response) {
  const zelph::rpc::HandledCall call(call_bounds_.get(), context);
  if (call.Refused()) return call.Refusal();
  using Reader = grpc::Status (ZelphServiceV2Impl::*)(const ObjectUrl&, zelph::GetDataResponse&);
  // A reader whose element can be as large as a reply may be; it reserves it before copying it
  // into the reply.
  using CountingReader = grpc::Status (ZelphServiceV2Impl::*)(
      const ObjectUrl&, zelph::GetDataResponse&, zelph::rpc::ReplySize&);
  struct Route {
    std::string_view path;
    PathTest test;
    Reader reader;  // neither reader: the path is refused with UNIMPLEMENTED, under the timer
    const char* timer;
    CountingReader counting_reader = nullptr;
  };
  // Tested in this order; the first that matches reads the URL. The two prefix rows are the
  // first and the last: everything below a worker property is that property, and every
  // project path that no row names is a cache entry.
  static constexpr Route kRoutes[] = {
      {"/session/project/worker/property", PathTest::kPrefix, nullptr, "GetDataWorkerProperty",
       &ZelphServiceV2Impl::GetDataWorkerProperty},
      {"/session/project/worker/system", PathTest::kExact, nullptr, "GetDataWorkerSystem",
       &ZelphServiceV2Impl::GetDataWorkerSystem},
      {"/session/project/property", PathTest::kExact, nullptr, "GetDataProjectProperty",
       &ZelphServiceV2Impl::GetDataProjectProperty},
      {"/model", PathTest::kExact, nullptr, "GetDataModel", &ZelphServiceV2Impl::GetDataModel},
      {"/model/property", PathTest::kExact, nullptr, "GetDataModelProperty"},
      {"/session/project/execution_status", PathTest::kExact,
       &ZelphServiceV2Impl::GetProjectExecutionStatus, "GetProjectExecutionStatus"},
      {"/session/project/worker", PathTest::kExact, nullptr, "GetDataProjectWorker",
       &ZelphServiceV2Impl::GetDataProjectWorker},
      {"/session/project/link", PathTest::kExact, &ZelphServiceV2Impl::GetDataProjectLink,
       "GetDataProjectLink"},
      {"/session/project/model", PathTest::kExact, nullptr, "GetDataProjectModel",
       &ZelphServiceV2Impl::GetDataProjectModel},
      {"/session/project/status", PathTest::kExact, &ZelphServiceV2Impl::GetProjectStatus,
       "GetProjectStatus"},
      {"/session/project/statistic", PathTest::kExact, nullptr, "GetProjectStatistic",
       &ZelphServiceV2Impl::GetProjectStatistic},
      {"/session/project/error", PathTest::kExact, &ZelphServiceV2Impl::GetProjectError,
       "GetProjectError"},
      {"/session/project/setting", PathTest::kExact, nullptr, "GetProjectSetting",
       &ZelphServiceV2Impl::GetProjectSetting},
      {"/session/project/settings", PathTest::kExact, nullptr, "GetProjectSettings",
       &ZelphServiceV2Impl::GetProjectSettings},
      {"/session/project/setting/property", PathTest::kExact, nullptr, "GetProjectSettingProperty",
       &ZelphServiceV2Impl::GetProjectSettingProperty},
      {"/session/project", PathTest::kExact, nullptr, "GetProject",
       &ZelphServiceV2Impl::GetProject},
      {"/session/project/worker/status", PathTest::kExact, &ZelphServiceV2Impl::GetWorkerStatus,
       "GetWorkerStatus"},
      {"/app", PathTest::kExact, &ZelphServiceV2Impl::GetSolutionApp, "GetSolutionApp"},
      {"/app/template", PathTest::kExact, &ZelphServiceV2Impl::GetSolutionTemplate,
       "GetSolutionTemplate"},
      {"/session/project", PathTest::kPrefix, nullptr, "GetDataProject...",
       &ZelphServiceV2Impl::GetCachedData},
  };

  zelph::Timer timer("GetData");
  zelph::rpc::ReplySize reply(*reply_budget_);
  grpc::Status status = zelph::rpc::LogIfFailed(zelph::rpc::RunGuarded([&] {
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
      grpc::Status status;
      if (route->counting_reader != nullptr) {
        status = (this->*route->counting_reader)(url, *response, reply);
      } else if (route->reader != nullptr) {
        status = (this->*route->reader)(url, *response);
      } else {
        return grpc::Status(grpc::StatusCode::UNIMPLEMENTED,
                            "Get model property not implemented, using "
                            "GetData(/session/project/model) instead");
      }
      if (!status.ok()) return status;
      // One URL may be named many times: the reply is refused before it passes its limit.
      if (status = reply.CountElements(response->data()); !status.ok()) return status;
    }
    return grpc::Status::OK;
  }));
  return zelph::rpc::FinishReply(reply, std::move(status));
}
