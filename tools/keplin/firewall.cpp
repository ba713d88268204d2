// The doctor's firewall check: reads the rules of the input path (nftables,
// or iptables-save where nft is missing) and follows the cameras' answers
// through them. Each condition of a rule says yes, no or "cannot tell" (a
// source address, an interface name) for an answer; a rule that surely
// matches decides, one that may match only makes the outcome uncertain.
#include <arpa/inet.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <functional>
#include <map>
#include <sstream>

#include <nlohmann/json.hpp>

#include "tools/keplin/doctor.h"

namespace keplin::cli {

namespace {

using Json = nlohmann::json;

enum class Tri { No, Maybe, Yes };

Tri negate(Tri t) {
    return t == Tri::Yes ? Tri::No : t == Tri::No ? Tri::Yes : Tri::Maybe;
}

Tri tri(bool b) {
    return b ? Tri::Yes : Tri::No;
}

// An answer of a camera as the input path sees it. Unknown values are -1 or empty.
struct Answer {
    const char* name;
    int sport;
    int dport;
    std::string daddr;
    const char* pkttype;
    const char* accept_nft;
    const char* accept_iptables;
};

const Answer kAnswers[] = {
    // Text-protocol answers go to the group, from and to the discovery port.
    {"the text protocol's answers (UDP from port 8002 to 239.255.255.250:8002)", DISCOVERY_PORT, DISCOVERY_PORT,
     DISCOVERY_GROUP, "multicast", "udp sport 8002 udp dport 8002 accept",
     "iptables -I INPUT -p udp --sport 8002 --dport 8002 -j ACCEPT"},
    // Broadcast answers come back from port 8600 to the probe's own port.
    // Neither is a reply the connection tracker knows: the requests went to
    // a group or to 255.255.255.255, the answers come from the camera.
    {"the broadcast protocol's answers (UDP from port 8600)", BROADCAST_PORT, -1, "", "host",
     "udp sport 8600 accept", "iptables -I INPUT -p udp --sport 8600 -j ACCEPT"},
};
constexpr const char* kAnswerState = "new";

using Condition = std::function<Tri(const Answer&)>;

struct Rule {
    std::vector<Condition> conditions;
    std::string verdict;  // accept, drop, reject, jump, goto, return; empty for none
    std::string target;   // chain of a jump or goto
    std::string label;
};

struct Chain {
    std::string label;
    std::string policy;  // base chains: accept or drop
    std::vector<Rule> rules;
};

struct Ruleset {
    std::map<std::string, Chain> chains;
    std::vector<std::string> entries;  // base chains on the input path
};

enum class End { Accept, Drop, Continue };

struct Outcome {
    End end = End::Continue;
    std::string by;        // the rule or policy that dropped
    std::string maybe_by;  // a rule that may have dropped on the way
    bool maybe_accepted = false;
};

Tri match_rule(const Rule& rule, const Answer& answer) {
    Tri result = Tri::Yes;
    for (const Condition& c : rule.conditions) {
        const Tri t = c(answer);
        if (t == Tri::No) return Tri::No;
        if (t == Tri::Maybe) result = Tri::Maybe;
    }
    return result;
}

Outcome walk(const Ruleset& set, const std::string& key, const Answer& answer, int depth) {
    Outcome out;
    auto found = set.chains.find(key);
    if (found == set.chains.end() || depth > 16) return out;
    for (const Rule& rule : found->second.rules) {
        const Tri m = match_rule(rule, answer);
        if (m == Tri::No || rule.verdict.empty()) continue;
        if (rule.verdict == "jump" || rule.verdict == "goto") {
            Outcome sub = walk(set, rule.target, answer, depth + 1);
            if (out.maybe_by.empty()) out.maybe_by = sub.maybe_by;
            out.maybe_accepted = out.maybe_accepted || sub.maybe_accepted;
            if (m == Tri::Yes) {
                if (sub.end != End::Continue) {
                    out.end = sub.end;
                    out.by = sub.by;
                    return out;
                }
                if (rule.verdict == "goto") return out;
            } else {
                if (sub.end == End::Drop && out.maybe_by.empty()) out.maybe_by = sub.by;
                if (sub.end == End::Accept) out.maybe_accepted = true;
            }
        } else if (rule.verdict == "accept") {
            if (m == Tri::Yes) {
                out.end = End::Accept;
                return out;
            }
            out.maybe_accepted = true;
        } else if (rule.verdict == "drop" || rule.verdict == "reject") {
            if (m == Tri::Yes) {
                out.end = End::Drop;
                out.by = rule.label;
                return out;
            }
            if (out.maybe_by.empty()) out.maybe_by = rule.label;
        } else if (rule.verdict == "return" && m == Tri::Yes) {
            return out;
        }
    }
    return out;
}

std::vector<Finding> verdicts(const Ruleset& set, const char* source, bool nft) {
    std::vector<Finding> out;
    for (const Answer& answer : kAnswers) {
        std::string dropped, maybe, where;
        for (const std::string& entry : set.entries) {
            const Chain& chain = set.chains.at(entry);
            Outcome o = walk(set, entry, answer, 0);
            if (o.end == End::Continue && chain.policy == "drop") {
                o.end = End::Drop;
                o.by = "the policy of " + chain.label;
            }
            if (o.end == End::Drop && !o.maybe_accepted && dropped.empty()) {
                dropped = o.by;
                where = entry;
            } else if (o.end == End::Drop && maybe.empty()) {
                maybe = o.by;
                where = entry;
            }
            if (!o.maybe_by.empty() && maybe.empty()) {
                maybe = o.maybe_by;
                if (where.empty()) where = entry;
            }
        }
        const std::string advice =
            std::string("accept them first, e.g. ") +
            (nft ? "nft insert rule " + where + " " + answer.accept_nft : std::string(answer.accept_iptables));
        if (!dropped.empty()) {
            out.push_back({"firewall", Level::Problem, std::string(answer.name) + " are dropped by " + dropped,
                           advice});
        } else if (!maybe.empty()) {
            out.push_back({"firewall", Level::Note,
                           std::string(answer.name) + " may be dropped by " + maybe +
                               ", depending on the camera's address or the adapter",
                           "if a camera is missing, " + advice});
        }
    }
    if (out.empty())
        out.push_back({"firewall", Level::Ok, std::string("no ") + source + " rule drops the cameras' answers", ""});
    return out;
}

// ---------------------------------------------------------------------------
// Values.

bool to_address(const std::string& text, uint32_t* address) {
    in_addr a{};
    if (inet_pton(AF_INET, text.c_str(), &a) != 1) return false;
    *address = ntohl(a.s_addr);
    return true;
}

// A value of an answer, as a rule compares it: a number, an address or a word.
struct Value {
    long number = -1;
    std::string text;
};

bool word_equal(const std::string& a, const std::string& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return std::tolower(x) == std::tolower(y); });
}

// Whether an nft right-hand side holds `v`; Maybe for forms not understood.
Tri nft_holds(const Json& right, const Value& v) {
    if (right.is_number_integer()) return tri(v.number >= 0 && right.get<long>() == v.number);
    if (right.is_string()) {
        const std::string r = right.get<std::string>();
        uint32_t a = 0, b = 0;
        if (to_address(r, &a) && to_address(v.text, &b)) return tri(a == b);
        return tri(word_equal(r, v.text) || (v.number >= 0 && r == std::to_string(v.number)));
    }
    if (right.is_array() || (right.is_object() && right.contains("set"))) {
        const Json& items = right.is_array() ? right : right["set"];
        if (!items.is_array()) return Tri::Maybe;
        Tri result = Tri::No;
        for (const Json& item : items) {
            const Tri t = nft_holds(item, v);
            if (t == Tri::Yes) return t;
            if (t == Tri::Maybe) result = t;
        }
        return result;
    }
    if (right.is_object() && right.contains("range") && right["range"].is_array() && right["range"].size() == 2) {
        const Json& lo = right["range"][0];
        const Json& hi = right["range"][1];
        if (lo.is_number_integer() && hi.is_number_integer() && v.number >= 0)
            return tri(lo.get<long>() <= v.number && v.number <= hi.get<long>());
        uint32_t a = 0, b = 0, x = 0;
        if (lo.is_string() && hi.is_string() && to_address(lo.get<std::string>(), &a) &&
            to_address(hi.get<std::string>(), &b) && to_address(v.text, &x))
            return tri(a <= x && x <= b);
        return Tri::Maybe;
    }
    if (right.is_object() && right.contains("prefix")) {
        const Json& p = right["prefix"];
        uint32_t net = 0, x = 0;
        if (!p.is_object() || !p.contains("addr") || !p["addr"].is_string() || !p.contains("len") ||
            !p["len"].is_number_integer() || !to_address(p["addr"].get<std::string>(), &net) ||
            !to_address(v.text, &x))
            return Tri::Maybe;
        const int len = p["len"].get<int>();
        const uint32_t mask = len <= 0 ? 0 : len >= 32 ? 0xffffffffu : ~(0xffffffffu >> len);
        return tri((net & mask) == (x & mask));
    }
    return Tri::Maybe;
}

// ---------------------------------------------------------------------------
// nftables.

// What the left-hand side of a match reads from an answer. `known` false:
// this check cannot tell (a source address); `applies` false: the expression
// cannot match a UDP/IPv4 answer at all (a TCP port, an IPv6 header).
struct Field {
    bool applies = true;
    bool known = false;
    bool interface = false;  // the input interface: never loopback, else unknown
    Value value;
};

// Headers an IPv4 UDP answer does not have.
bool foreign_protocol(const std::string& protocol) {
    static const char* const kForeign[] = {"tcp", "icmp", "icmpv6", "ip6", "sctp", "dccp", "udplite", "arp",
                                           "esp", "ah", "comp"};
    return std::any_of(std::begin(kForeign), std::end(kForeign), [&](const char* p) { return protocol == p; });
}

Field nft_field(const Json& left, const Answer& a) {
    Field f;
    if (!left.is_object()) return f;
    if (left.contains("payload")) {
        const Json& p = left["payload"];
        const std::string protocol = p.value("protocol", "");
        const std::string field = p.value("field", "");
        if (protocol == "udp" || protocol == "th") {
            if (field == "sport") f.value.number = a.sport;
            else if (field == "dport") f.value.number = a.dport;
            f.known = f.value.number >= 0;
        } else if (protocol == "ip") {
            if (field == "protocol") {
                f.value = {17, "udp"};
                f.known = true;
            } else if (field == "daddr" && !a.daddr.empty()) {
                f.value.text = a.daddr;
                f.known = true;
            }
        } else if (foreign_protocol(protocol)) {
            f.applies = false;
        }
    } else if (left.contains("meta")) {
        const std::string key = left["meta"].value("key", "");
        f.known = true;
        if (key == "l4proto") f.value = {17, "udp"};
        else if (key == "nfproto" || key == "protocol") f.value = {-1, key == "nfproto" ? "ipv4" : "ip"};
        else if (key == "pkttype") f.value.text = a.pkttype;
        else {
            f.known = false;
            f.interface = key == "iifname" || key == "iif";
        }
    } else if (left.contains("ct")) {
        if (left["ct"].value("key", "") == "state") {
            f.value.text = kAnswerState;
            f.known = true;
        }
    }
    return f;
}

Condition nft_condition(const Json& match) {
    return [match](const Answer& a) {
        const Field f = nft_field(match.value("left", Json()), a);
        if (!f.applies) return Tri::No;
        const std::string op = match.value("op", "==");
        const Json& right = match.contains("right") ? match["right"] : Json();
        if (f.interface && right == "lo" && (op == "==" || op == "!=")) return tri(op == "!=");
        if (!f.known) return Tri::Maybe;
        // A named set ("@cams") holds what this check cannot see.
        if (right.is_string() && right.get<std::string>().compare(0, 1, "@") == 0) return Tri::Maybe;
        if (op == "==" || op == "in") return nft_holds(right, f.value);
        if (op == "!=") return negate(nft_holds(right, f.value));
        if (right.is_number_integer() && f.value.number >= 0) {
            const long r = right.get<long>();
            if (op == "<") return tri(f.value.number < r);
            if (op == ">") return tri(f.value.number > r);
            if (op == "<=") return tri(f.value.number <= r);
            if (op == ">=") return tri(f.value.number >= r);
        }
        return Tri::Maybe;
    };
}

std::string chain_key(const std::string& family, const std::string& table, const std::string& chain) {
    return family + " " + table + " " + chain;
}

// Statements that neither decide nor filter: they let the rule go on.
bool neutral_statement(const std::string& name) {
    static const char* const kNeutral[] = {"counter", "log", "mangle", "notrack", "set", "meta"};
    return std::any_of(std::begin(kNeutral), std::end(kNeutral), [&](const char* n) { return name == n; });
}

}  // namespace

std::vector<Finding> nft_findings(const std::string& text) {
    const Json doc = Json::parse(text, nullptr, false);
    if (doc.is_discarded() || !doc.contains("nftables") || !doc["nftables"].is_array())
        return {{"firewall", Level::Note, "the nftables rules could not be read (nft printed no ruleset)",
                 "check them by hand: nft list ruleset"}};
    Ruleset set;
    std::vector<std::pair<int, std::string>> entries;
    for (const Json& item : doc["nftables"]) {
        if (!item.is_object()) continue;
        if (item.contains("chain")) {
            const Json& c = item["chain"];
            const std::string family = c.value("family", "");
            if (family != "ip" && family != "inet" && family != "netdev") continue;
            const std::string key = chain_key(family, c.value("table", ""), c.value("name", ""));
            Chain& chain = set.chains[key];
            chain.label = "chain " + key;
            chain.policy = c.value("policy", "accept");
            const std::string hook = c.value("hook", "");
            if (c.contains("hook") && (hook == "input" || hook == "prerouting" || hook == "ingress"))
                entries.emplace_back(c.value("prio", 0), key);
        } else if (item.contains("rule")) {
            const Json& r = item["rule"];
            const std::string family = r.value("family", "");
            if (family != "ip" && family != "inet" && family != "netdev") continue;
            const std::string table = r.value("table", "");
            Chain& chain = set.chains[chain_key(family, table, r.value("chain", ""))];
            Rule rule;
            rule.label = "rule " + std::to_string(r.value("handle", 0)) + " of chain " +
                         chain_key(family, table, r.value("chain", ""));
            for (const Json& e : r.value("expr", Json::array())) {
                if (!e.is_object() || e.empty()) continue;
                const std::string name = e.begin().key();
                if (name == "match") {
                    rule.conditions.push_back(nft_condition(e["match"]));
                } else if (name == "accept" || name == "drop" || name == "reject" || name == "return") {
                    rule.verdict = name;
                } else if (name == "jump" || name == "goto") {
                    rule.verdict = name;
                    rule.target = chain_key(family, table, e[name].value("target", ""));
                } else if (!neutral_statement(name)) {
                    // A statement this check does not follow (a limit, a quota,
                    // a lookup): the rule may or may not go on.
                    rule.conditions.push_back([](const Answer&) { return Tri::Maybe; });
                }
            }
            chain.rules.push_back(std::move(rule));
        }
    }
    std::sort(entries.begin(), entries.end());
    for (const auto& e : entries) set.entries.push_back(e.second);
    return verdicts(set, "nftables", true);
}

// ---------------------------------------------------------------------------
// iptables-save.

namespace {

Tri port_in(const std::string& written, int port) {
    if (port < 0) return Tri::Maybe;
    std::istringstream parts(written);
    for (std::string part; std::getline(parts, part, ',');) {
        const size_t colon = part.find(':');
        const int lo = colon == 0 ? 0 : std::atoi(part.c_str());
        const int hi = colon == std::string::npos ? lo : colon + 1 == part.size() ? 65535 : std::atoi(part.c_str() + colon + 1);
        if (lo <= port && port <= hi) return Tri::Yes;
    }
    return Tri::No;
}

Tri address_in(const std::string& written, const std::string& address) {
    uint32_t x = 0;
    if (!to_address(address, &x)) return Tri::Maybe;
    const size_t slash = written.find('/');
    uint32_t net = 0;
    if (!to_address(written.substr(0, slash), &net)) return Tri::Maybe;
    uint32_t mask = 0xffffffffu;
    if (slash != std::string::npos) {
        const std::string m = written.substr(slash + 1);
        if (m.find('.') != std::string::npos) {
            if (!to_address(m, &mask)) return Tri::Maybe;
        } else {
            const int len = std::atoi(m.c_str());
            mask = len <= 0 ? 0 : len >= 32 ? 0xffffffffu : ~(0xffffffffu >> len);
        }
    }
    return tri((net & mask) == (x & mask));
}

Tri word_in(const std::string& list, const std::string& word) {
    std::istringstream parts(list);
    for (std::string part; std::getline(parts, part, ',');)
        if (word_equal(part, word)) return Tri::Yes;
    return Tri::No;
}

// One option of a rule and its values, as a condition.
Condition iptables_condition(const std::string& option, const std::vector<std::string>& values, bool negated) {
    const std::string v = values.empty() ? "" : values.front();
    Condition c;
    if (option == "-p" || option == "--protocol") {
        c = [v](const Answer&) { return tri(word_equal(v, "udp") || v == "17" || word_equal(v, "all")); };
    } else if (option == "--dport" || option == "--destination-port" || option == "--dports") {
        c = [v](const Answer& a) { return port_in(v, a.dport); };
    } else if (option == "--sport" || option == "--source-port" || option == "--sports") {
        c = [v](const Answer& a) { return port_in(v, a.sport); };
    } else if (option == "-d" || option == "--destination") {
        c = [v](const Answer& a) { return a.daddr.empty() ? Tri::Maybe : address_in(v, a.daddr); };
    } else if (option == "--ctstate" || option == "--state") {
        c = [v](const Answer&) { return word_in(v, kAnswerState); };
    } else if (option == "--pkt-type") {
        c = [v](const Answer& a) { return tri(word_equal(v, a.pkttype)); };
    } else if (option == "-i" || option == "--in-interface") {
        c = [v](const Answer&) { return v == "lo" ? Tri::No : Tri::Maybe; };
    } else if (option == "-m" || option == "--match") {
        return nullptr;  // loads a match; its options follow
    } else {
        c = [](const Answer&) { return Tri::Maybe; };
    }
    if (!negated) return c;
    return [c](const Answer& a) { return negate(c(a)); };
}

}  // namespace

std::vector<Finding> iptables_findings(const std::string& save) {
    Ruleset set;
    std::string table;
    std::istringstream in(save);
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        if (line[0] == '*') {
            table = line.substr(1);
            continue;
        }
        if (table != "filter") continue;
        std::istringstream words(line);
        std::vector<std::string> w;
        for (std::string word; words >> word;) w.push_back(word);
        if (w.empty()) continue;
        if (w[0][0] == ':' && w.size() >= 2) {
            const std::string name = w[0].substr(1);
            Chain& chain = set.chains[name];
            chain.label = "chain " + name + " (iptables)";
            chain.policy = word_equal(w[1], "drop") ? "drop" : "accept";
            if (name == "INPUT") set.entries.push_back(name);
            continue;
        }
        if (w[0] != "-A" || w.size() < 2) continue;
        Chain& chain = set.chains[w[1]];
        Rule rule;
        rule.label = "rule " + std::to_string(chain.rules.size() + 1) + " of chain " + w[1] + " (iptables)";
        bool negated = false, target_seen = false;
        for (size_t k = 2; k < w.size();) {
            if (w[k] == "!") {
                negated = true;
                ++k;
                continue;
            }
            const std::string option = w[k++];
            std::vector<std::string> values;
            while (k < w.size() && w[k] != "!" && w[k][0] != '-') values.push_back(w[k++]);
            if (option == "-j" || option == "-g" || option == "--jump" || option == "--goto") {
                const std::string target = values.empty() ? "" : values.front();
                const bool go = option == "-g" || option == "--goto";
                if (target == "ACCEPT") rule.verdict = "accept";
                else if (target == "DROP") rule.verdict = "drop";
                else if (target == "REJECT") rule.verdict = "reject";
                else if (target == "RETURN") rule.verdict = "return";
                else if (set.chains.count(target) != 0) {
                    rule.verdict = go ? "goto" : "jump";
                    rule.target = target;
                }
                target_seen = true;
            } else if (target_seen) {
                // The target's own options (--reject-with, --log-prefix): no conditions.
            } else if (Condition c = iptables_condition(option, values, negated)) {
                rule.conditions.push_back(std::move(c));
            }
            negated = false;
        }
        chain.rules.push_back(std::move(rule));
    }
    return verdicts(set, "iptables", false);
}

std::vector<Finding> check_firewall(const CommandRunner& run) {
    const CommandOutput nft = run({"nft", "-j", "list", "ruleset"});
    if (nft.status == 0) return nft_findings(nft.out.empty() ? "{\"nftables\":[]}" : nft.out);
    const CommandOutput ipt = run({"iptables-save"});
    if (ipt.status == 0) return iptables_findings(ipt.out);
    if (nft.status == 127 && ipt.status == 127)
        return {{"firewall", Level::Note,
                 "neither nft nor iptables-save is installed, so the firewall rules were not read",
                 "if a firewall program is in use, check that it lets UDP from ports 8002 and 8600 in"}};
    const CommandOutput& failed = nft.status != 127 ? nft : ipt;
    std::string reason = failed.err.substr(0, failed.err.find('\n'));
    const bool denied = reason.find("not permitted") != std::string::npos ||
                        reason.find("ermission denied") != std::string::npos || geteuid() != 0;
    if (reason.empty()) reason = "exit status " + std::to_string(failed.status);
    return {{"firewall", Level::Note,
             "the firewall rules cannot be read" + std::string(denied ? " without root" : "") + " (" + reason + ")",
             denied ? "run 'sudo keplin doctor' to check them" : "check them by hand: nft list ruleset"}};
}

}  // namespace keplin::cli
