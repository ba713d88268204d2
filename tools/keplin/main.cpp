// keplin: finds network cameras on the LAN by both discovery protocols and
// changes their network settings, for people who script their cameras.
#include <unistd.h>

#include <iostream>
#include <string>

#include <CLI/CLI.hpp>

#include "tools/keplin/doctor.h"
#include "tools/keplin/output.h"
#include "tools/keplin/plan.h"
#include "tools/keplin/session.h"

using namespace keplin::cli;

namespace {

const char kSearchExamples[] = R"(
Examples:
  keplin search                          table of every camera found in 2.5 s
  keplin search --protocol text --format json
  keplin search --wait 5000 --format csv > cameras.csv
  keplin search --probes 3               three requests in the 2.5 s, for lossy networks
  keplin search --check                  also warn about cameras this PC cannot reach and
                                         addresses held twice

Exit status: 0 the search ran (whatever it found), 1 no search request could
be sent, 2 bad arguments.)";

const char kSetExamples[] = R"(
TARGET is the IP address, MAC or device id of a listed camera (broadcast
cameras by IP address or MAC). The camera's current settings are the starting
point; only the options given change.

Examples:
  keplin set 192.168.1.100 --user admin --password admin \
      --dhcp off --ip 192.168.1.50 --gateway 192.168.1.1
  keplin set 00:1A:2B:3C:4D:5E --user admin --password admin --http-port 8080
  keplin set 192.168.1.64 --protocol broadcast --user admin --password new --dhcp on
  keplin set 192.168.1.64 --user admin --password admin --ip 192.168.1.70 --verify

A new address that another listed camera holds is refused unless --force is
given; an address of this PC is always refused.

Exit status: 0 success, 1 the request could not be made, 2 bad arguments or
values refused, 3 no listed camera matches TARGET, 4 the camera refused
(401, 403, 0x8001, 0x8002), 5 no answer in time, 6 (--verify) the camera did
not answer at its new address and port.)";

const char kPlanExamples[] = R"(
A plan is a CSV file: 'template' writes one row per camera found, with the
columns protocol,mac,device_id,ip,mask,gateway,port,name describing it and
new_ip,new_mask,new_gateway,new_port,user,password for the installer to fill
in (empty new_mask, new_gateway, new_port: keep the camera's; empty user,
password: --user and KEPLIN_PASSWORD).

Examples:
  keplin plan template > site.csv
  keplin plan check site.csv
  KEPLIN_PASSWORD=admin keplin plan apply site.csv --user admin --report site-report.csv

Exit status: 0 every row verified (check: the plan can be applied), 1 no
search request could be sent or the report could not be written, 2 bad
arguments or a plan with problems (nothing was sent), 6 some rows not
verified (see the report).)";

Protocol to_protocol(const std::string& name) {
    return parse_protocol(name).value_or(Protocol::All);
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"Finds network cameras on the LAN and changes their network settings.", "keplin"};
    app.require_subcommand(1);
    app.set_version_flag("--version", "keplin " KEPLIN_VERSION);
    app.footer("Run 'keplin COMMAND --help' for the options of a command.");

    std::string adapters_format = "table";
    CLI::App* adapters = app.add_subcommand("adapters", "List this PC's network adapters (sends nothing)");
    adapters->add_option("--format", adapters_format, "Output format")
        ->check(CLI::IsMember({"table", "json"}))
        ->capture_default_str();

    DoctorCommand doctor;
    CLI::App* doctor_cmd = app.add_subcommand("doctor", "Check why a search may find nothing (sends nothing without --probe)");
    doctor_cmd->add_flag("--probe", doctor.probe, "Also search once by each protocol and count the answers");
    doctor_cmd->add_option("--wait", doctor.wait_ms, "Milliseconds the probe collects answers")
        ->check(CLI::Range(0, 600000))
        ->capture_default_str();
    doctor_cmd->add_option("--format", doctor.format, "Output format")
        ->check(CLI::IsMember({"text", "json"}))
        ->capture_default_str();
    doctor_cmd->footer(kDoctorFooter);

    SearchCommand search;
    std::string search_protocol = "all";
    CLI::App* search_cmd = app.add_subcommand("search", "Search the LAN for cameras and list them");
    search_cmd->add_option("--wait", search.wait_ms, "Milliseconds to collect answers")
        ->check(CLI::Range(0, 600000))
        ->capture_default_str();
    search_cmd->add_option("--probes", search.probes, "Search requests, spread evenly across the wait")
        ->check(CLI::Range(1, 10))
        ->capture_default_str();
    search_cmd->add_option("--protocol", search_protocol, "Protocols to search")
        ->check(CLI::IsMember({"text", "broadcast", "all"}))
        ->capture_default_str();
    search_cmd->add_option("--format", search.format, "Output format")
        ->check(CLI::IsMember({"table", "json", "csv"}))
        ->capture_default_str();
    search_cmd->add_flag("--show-secrets", search.show_secrets,
                         "Print the passwords cameras report instead of ***");
    search_cmd->add_flag("--check", search.check,
                         "Warn on standard error about cameras outside this PC's subnets and shared addresses");
    search_cmd->footer(kSearchExamples);

    SetCommand set;
    std::string set_protocol = "all";
    std::string ip, mask, gateway, dns1, dns2, dhcp;
    int http_port = 0;
    CLI::App* set_cmd = app.add_subcommand("set", "Change the network settings of one camera");
    set_cmd->add_option("TARGET", set.target, "IP address, MAC or device id of the camera")->required();
    set_cmd->add_option("--user", set.options.user, "Viewing account (authenticates the change)")->required();
    set_cmd->add_option("--password", set.options.password, "Password of that account")
        ->required()
        ->envname("KEPLIN_PASSWORD");
    CLI::Option* ip_opt = set_cmd->add_option("--ip", ip, "New IP address (fixed addressing)");
    CLI::Option* mask_opt = set_cmd->add_option("--mask", mask, "New subnet mask");
    CLI::Option* gateway_opt = set_cmd->add_option("--gateway", gateway, "New gateway");
    CLI::Option* dns1_opt = set_cmd->add_option("--dns1", dns1, "New first DNS server");
    CLI::Option* dns2_opt = set_cmd->add_option("--dns2", dns2, "New second DNS server (text protocol only)");
    CLI::Option* dhcp_opt =
        set_cmd->add_option("--dhcp", dhcp, "Automatic addressing")->check(CLI::IsMember({"on", "off"}));
    CLI::Option* port_opt =
        set_cmd->add_option("--http-port", http_port, "New HTTP port")->check(CLI::Range(1, 65535));
    set_cmd->add_option("--protocol", set_protocol, "Protocols to search for the camera")
        ->check(CLI::IsMember({"text", "broadcast", "all"}))
        ->capture_default_str();
    set_cmd->add_option("--wait", set.wait_ms, "Milliseconds to wait for each answer (text protocol)")
        ->check(CLI::Range(0, 600000))
        ->capture_default_str();
    set_cmd->add_option("--search-wait", set.search_wait_ms, "Milliseconds to collect search answers")
        ->check(CLI::Range(0, 600000))
        ->capture_default_str();
    set_cmd->add_option("--format", set.format, "Output format")
        ->check(CLI::IsMember({"text", "json"}))
        ->capture_default_str();
    set_cmd->add_flag("--force", set.force, "Give a new address even when another listed camera holds it");
    set_cmd->add_flag("--verify", set.verify,
                      "After the change, search until the camera answers at its new address and port");
    set_cmd->add_option("--restart-wait", set.restart_wait_ms,
                        "Milliseconds the camera takes to restart (--verify searches after them)")
        ->check(CLI::Range(0, 600000))
        ->capture_default_str();
    set_cmd->add_option("--verify-timeout", set.verify_timeout_ms,
                        "Milliseconds to search for the camera after its restart (--verify)")
        ->check(CLI::Range(100, 600000))
        ->capture_default_str();
    set_cmd->footer(kSetExamples);

    PlanCommand plan;
    std::string plan_protocol = "all";
    std::string plan_password;
    CLI::App* plan_cmd = app.add_subcommand("plan", "Re-address many cameras from a CSV plan");
    plan_cmd->require_subcommand(1);
    plan_cmd->footer(kPlanExamples);
    CLI::App* plan_template = plan_cmd->add_subcommand("template", "Write a plan of the cameras found");
    plan_template->add_option("--protocol", plan_protocol, "Protocols to search")
        ->check(CLI::IsMember({"text", "broadcast", "all"}))
        ->capture_default_str();
    CLI::App* plan_check = plan_cmd->add_subcommand("check", "Check a plan against the cameras found (changes nothing)");
    CLI::App* plan_apply = plan_cmd->add_subcommand("apply", "Change every camera of a plan and verify each");
    CLI::Option* plan_password_opt = nullptr;
    for (CLI::App* sub : {plan_template, plan_check, plan_apply}) {
        sub->add_option("--search-wait", plan.search_wait_ms, "Milliseconds to collect search answers")
            ->check(CLI::Range(0, 600000))
            ->capture_default_str();
        sub->add_option("--probes", plan.probes, "Search requests, spread evenly across the wait")
            ->check(CLI::Range(1, 10))
            ->capture_default_str();
        if (sub == plan_template) continue;
        sub->add_option("PLAN", plan.plan_path, "The plan (CSV), - for standard input")->required();
    }
    plan_apply->add_option("--parallel", plan.parallel, "Changes in flight at once")
        ->check(CLI::Range(1, PENDING_SLOTS))
        ->capture_default_str();
    plan_apply->add_option("--report", plan.report_path, "Write a report row per camera to this file");
    plan_apply->add_option("--report-format", plan.report_format, "Report format (default: by the file's extension)")
        ->check(CLI::IsMember({"csv", "json"}));
    plan_apply->add_option("--user", plan.user, "Account for rows without one");
    plan_password_opt = plan_apply->add_option("--password", plan_password, "Password for rows without one")
                            ->envname("KEPLIN_PASSWORD");
    plan_apply->add_option("--wait", plan.wait_ms, "Milliseconds to wait for each answer (text protocol)")
        ->check(CLI::Range(0, 600000))
        ->capture_default_str();
    plan_apply->add_option("--restart-wait", plan.restart_wait_ms, "Milliseconds a camera takes to restart")
        ->check(CLI::Range(0, 3600000))
        ->capture_default_str();
    plan_apply->add_option("--verify-timeout", plan.verify_timeout_ms,
                           "Milliseconds to search for a camera after its restart")
        ->check(CLI::Range(0, 3600000))
        ->capture_default_str();

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        int status = app.exit(e);
        return status == 0 ? kExitOk : kExitUsage;
    }

    if (ip_opt->count()) set.options.ip = ip;
    if (mask_opt->count()) set.options.mask = mask;
    if (gateway_opt->count()) set.options.gateway = gateway;
    if (dns1_opt->count()) set.options.dns1 = dns1;
    if (dns2_opt->count()) set.options.dns2 = dns2;
    if (dhcp_opt->count()) set.options.dhcp = dhcp == "on";
    if (port_opt->count()) set.options.http_port = static_cast<uint16_t>(http_port);
    if (plan_password_opt->count()) plan.password = plan_password;
    plan.protocol = to_protocol(plan_protocol);
    search.protocol = to_protocol(search_protocol);
    set.protocol = to_protocol(set_protocol);

    // The engine prints its diagnostic lines on standard output; they go to
    // standard error instead, so that what scripts read stays well-formed.
    std::cout.flush();
    const int result_fd = dup(STDOUT_FILENO);
    if (result_fd < 0 || dup2(STDERR_FILENO, STDOUT_FILENO) < 0) {
        std::cerr << "keplin: cannot set up standard output\n";
        return kExitFailure;
    }
    FdOutput result(result_fd);
    std::ostream out(&result);
    int status;
    if (adapters->parsed()) status = run_adapters(adapters_format, out, std::cerr);
    else if (doctor_cmd->parsed()) status = run_doctor(doctor, out, std::cerr);
    else if (search_cmd->parsed()) status = run_search(search, out, std::cerr);
    else if (plan_template->parsed()) status = run_plan_template(plan, out, std::cerr);
    else if (plan_check->parsed()) status = run_plan_check(plan, out, std::cerr);
    else if (plan_apply->parsed()) status = run_plan_apply(plan, out, std::cerr);
    else status = run_set(set, out, std::cerr);

    out.flush();
    return result.Failed() ? kExitFailure : status;
}
