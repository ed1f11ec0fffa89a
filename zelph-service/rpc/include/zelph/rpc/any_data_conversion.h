// any_data_conversion.h
//
// Values between the API and the system: the value of a GAnyData message into port data
// (cache writes) or into a property (property writes), and port data back into a GAnyData
// value (cache reads). Numbers and matrices keep their element type, depth, channels,
// dimensions and bytes both ways; the scalar kinds become text in port data and come back
// as GScalar text.
//
//   std::shared_ptr<IPortData> data;
//   grpc::Status status = PortDataFromAnyData(*request.mutable_data(), data);
//   if (status.ok()) project->SetCache(key, data);
//
// Byte payloads of matrices and number blocks are not copied on the way in: the new port
// data takes over the message's bytes. On the way out they are copied once, from the port
// data into the reply message.
//
// Threading: the functions keep no state. Port data handed to PortDataToAnyData must not
// change while it is read, which holds for every published port data object.
#pragma once

#include <cstdint>

#include <grpcpp/support/status.h>

#include <memory>
#include <string>

#include "message/datatype/datatype.pb.h"
#include "message/rqrs2/SetData.pb.h"

class IDataProcess;
class IPortData;
class Property;
struct PropertyValue;

// New port data for the value of `value`:
// - bool, int32, int64, double and string values: a scalar of their text ("true", "5",
//   "2.500000", the text itself); bytes (`buffer`): a scalar holding the bytes;
// - `numbers`: a number block of the element type of `element_type` with the bytes and the
//   block length of `block_length` when that is positive, else 1;
// - `mat`: a matrix with the bytes, the dims in order, the channels and the depth of
//   MatDepthFromCode. An empty buffer gives a matrix that is not initialised.
// The bytes of an accepted matrix or number block are taken out of `value` (its buffer is
// left empty) and live on with the port data, whatever becomes of the message.
// Refused, with `data` and `value` left unchanged:
// - INVALID_ARGUMENT for a matrix with a negative dimension or channel count, or whose
//   buffer holds fewer bytes than its dims, channels and depth need (channels 0, as in an
//   encoded preview, need none; a longer buffer is accepted);
// - INTERNAL "Unsupported data value case" for any other value case (none included);
// - INTERNAL with the number block's own text for an element type other than 1 to 6
//   ("Unknown data type" is logged first) or a size that is not a whole number of elements.
// Never throws.
grpc::Status PortDataFromAnyData(zelph::GAnyData& value, std::shared_ptr<IPortData>& data);

// Sets the value of `value` from `data`, by its data type: numbers to `numbers`, scalars to
// `scalar`, matrices to `mat`, text to `string_val`. Element types and depths without an API
// code are logged ("Unknown data type", "Unknown depth") and sent as kUnknown and
// kDepthUnknown. A scalar or text type on an object that is not scalar port data is logged
// and leaves the value unset. Any other data type leaves the value unset and answers
// INTERNAL "Unsupported data type". `url` and `modified` are left alone.
grpc::Status PortDataToAnyData(const IPortData& data, zelph::GAnyData& value);
// About the bytes of the value PortDataToAnyData makes of `data`, URL and time aside, known
// without making it: a matrix's or number block's payload, a scalar's or text's length, and
// room for the fields around them; 0 for other types. For counting a reply before a large
// value is copied into it.
std::uint64_t AnyDataBytesBound(const IPortData& data);

// The bool, int32, double, string or int64 value of `request.data()` as the matching
// alternative of `property`, marked changed (logged with the request's URL). Any other value
// case leaves `property` alone and answers INVALID_ARGUMENT "Unsupported property type".
grpc::Status PropertyValueFromAnyData(const zelph::SetDataRequest& request,
                                      PropertyValue& property);

// Writes the bool, int32, double, string or int64 value of `request.data()` into `properties`
// under `name` (inserted or replaced, whatever alternative the entry held, and marked
// changed); `properties` must not be null. Any other value case writes nothing and answers
// INVALID_ARGUMENT "Unsupported property type".
grpc::Status SetPropertyFromAnyData(Property* properties, const std::string& name,
                                    const zelph::SetDataRequest& request);

// Writes the value into the worker's user properties under `name` (SetPropertyFromAnyData)
// and answers that write's status; "properties not found" (INVALID_ARGUMENT) when the worker
// has no user bag. A name that begins with "$__system." is written a second time into the
// worker's system properties, under the name without that prefix; other names, "$__system"
// and "$__systemX" included, are ordinary user properties.
grpc::Status SetWorkerPropertyFromAnyData(IDataProcess& worker, const std::string& name,
                                          const zelph::SetDataRequest& request);
