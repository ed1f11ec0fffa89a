// reply_element.h
//
// How a GetData reader puts an element into its reply without holding more than the reply
// counted. An element whose size is known before it is made (a cached text, a statistic
// document, a property value) is reserved first and then copied in; one that must be made to
// be measured (a description, a chain text, a settings document) is made apart, once, then
// reserved at its size and moved in, never copied. Either way, many calls of one large
// element are refused before each holds a copy, and GetData's count of the reply settles the
// reservation against what was built (reply_size.h).
//
// Threading: as ReplySize, one handler thread per reply.
#pragma once

#include <grpcpp/support/status.h>

#include <cstdint>

#include "message/rqrs2/GetData.pb.h"
#include "zelph/model/property.h"

class ObjectUrl;

namespace zelph::rpc {

class ReplySize;

// Reserves in `reply` an element for `url` whose value holds about `value_bytes` bytes.
grpc::Status ReserveElement(ReplySize& reply, const ObjectUrl& url, std::uint64_t value_bytes);

// Reserves `element`, built apart, in `reply`, then moves it to the end of `response`'s data;
// on a refusal `response` is left as it was.
grpc::Status AddReservedElement(zelph::GAnyData&& element, zelph::GetDataResponse& response,
                                ReplySize& reply);

// The bytes of a property value in an element: a text's length, a few for the other kinds.
std::uint64_t PropertyValueBytes(const PropertyVariant& value);

}  // namespace zelph::rpc
