// Pure parsing of address texts: the address-check page and the test of an
// address that may be sent. No Win32 call inside, so it can be fuzzed.
#pragma once

#include <string>

// Longest dotted IPv4 text, "255.255.255.255".
const size_t kAddressMaxLen = 15;

enum AddressPage {
    PageNoAddress,    // too short, no marker, no "</body>" after it, or malformed text
    PageEmptyAddress, // marker and "</body>" with nothing but white space between
    PageAddress,      // address holds 1 to 15 printable ASCII characters
};

// Finds the text between "Current IP Address: " and the next "</body>",
// trimmed of ASCII white space. Text longer than 15 characters, or holding
// a control, space or non-ASCII character, is not an address.
AddressPage ParseAddressPage(const std::string &body, std::string &address);

// True for exactly four dot-separated decimal parts, each 0 to 255, digits
// only, without leading zeros.
bool ParseDottedQuad(const char *text, int parts[4]);

// True for a dotted quad outside the private and link-local ranges and
// other than 127.0.0.1: addresses the update server must never be sent.
bool IsSendableAddress(const char *text);

// The dotted-quad core of an address text: characters other than digits
// and dots around it are dropped.
std::string AddressCore(const std::string &text);
