// The camera side of the text discovery protocol: reading SEARCH and CMD
// requests, writing search replies and command results, and reading the
// configuration command lines a CMD carries.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "camera.h"

namespace camsim::text {

enum class RequestKind { Search, Command, Other };

// A request as received. Header values are empty when their line is absent;
// the `has_*` flags tell the two apart so that replies echo only what came.
struct Request {
  RequestKind kind = RequestKind::Other;
  bool has_cseq = false;
  bool has_client_id = false;
  bool has_authorization = false;
  bool has_device_id = false;
  std::string cseq;         // value of "CSeq:", echoed verbatim
  std::string client_id;    // value of "Client-ID:"
  std::string credentials;  // "user:password" after "Authorization:Basic "
  std::string device_id;    // value of "Device-ID:"
  std::string body;         // the command line
};

// Never fails: anything that is not a SEARCH or CMD request is RequestKind::Other.
Request parseRequest(std::string_view datagram);

// The reply of one camera to a SEARCH: a status line, the echoed CSeq and
// Client-ID lines, and one "Key=value" line per DeviceRecord field.
std::string searchReply(const Settings& s, const Request& req);

// The status of a command for this camera, per its cmd_result behaviour.
int commandStatus(const Camera& cam, const Request& req);

// The result of a command: "MCTP/1.0 200 OK", "HDS/1.0 401 Unauthorized" or
// "HDS/1.0 403 Forbidden", then the echoed CSeq and Client-ID lines.
std::string commandResult(int status, const Settings& s, const Request& req);

// Reads a command line ("netconf set -ipaddr ... ", "httpport set -httpport N",
// ...). Returns nullopt for a command this camera does not know; an unknown
// option of a known command is ignored.
std::optional<Changes> parseCommandBody(std::string_view body);

}  // namespace camsim::text
