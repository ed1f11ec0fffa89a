// reply_element.cpp
//
// Elements of a GetData reply reserved before they are copied into it.
#include "reply_element.h"

#include <string>
#include <utility>
#include <variant>

#include "zelph/rpc/object_url.h"
#include "zelph/rpc/reply_size.h"

namespace zelph::rpc {
namespace {

// Tags, lengths and the small fields of an element, far above what they take.
constexpr std::uint64_t kFieldRoom = 64;

}  // namespace

grpc::Status ReserveElement(ReplySize& reply, const ObjectUrl& url, std::uint64_t value_bytes) {
  return reply.Reserve(ElementBytes(url.GetUrl().size() + value_bytes + kFieldRoom));
}

grpc::Status AddReservedElement(zelph::GAnyData&& element, zelph::GetDataResponse& response,
                                ReplySize& reply) {
  if (grpc::Status status = reply.Reserve(ElementBytes(element.ByteSizeLong())); !status.ok()) {
    return status;
  }
  // Both messages live on the heap, so the move swaps their contents.
  *response.add_data() = std::move(element);
  return grpc::Status::OK;
}

std::uint64_t PropertyValueBytes(const PropertyVariant& value) {
  if (const auto* text = std::get_if<std::string>(&value)) return text->size();
  return sizeof(long long);
}

}  // namespace zelph::rpc
