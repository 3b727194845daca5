#pragma once

#include "common/bytes.h"
#include "recognition/recognition_context.h"

namespace qw {

// One recognition through the second provider, the whole body of a worker thread: the picture goes
// up as a multipart form over plain HTTP and the recognised pieces land in the result box.
// Returns true when the service's answer could be read.
bool recognize_picture_sogou(const RecognitionContext& context, const Bytes& picture);

// The request, exposed for tests: the body (picture + 198 bytes) and the header lines.
Bytes sogou_request_body(const Bytes& picture);
std::string sogou_header_lines(const std::string& host);
std::string sogou_endpoint_url(const std::string& host);

}  // namespace qw
