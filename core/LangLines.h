// The language-file lines the code reads, by name: LangText(LangLine::IcmpDown) instead of a bare
// line number. The numbers are the language files' format and never change.
#pragma once

namespace LangLine {
enum : int {
    LatencyUnit = 65, // "ms", closing a latency event

    PingReply = 234,       // the tools ping's reply line: %1 address, %2 round trip in ms
    PingUnreachable = 235, // the tools ping's line for an unreachable answer
    PingTimedOut = 236,    // the tools ping's line without an answer; a traceroute hop without one
    TraceHeader = 240,     // %1 target, %2 its address
    TraceMaxHops = 241,    // %1 the maximum number of hops
    TraceComplete = 242,
    HostLoadProgress = 243, // the host-load progress caption's word

    MailSubjectBefore = 264, // mail subject: before the host text
    MailSubjectAfter = 265,  // mail subject: between the host text and the state
    MailSent = 266,
    MailFailed = 267,
    MessagingSignOnTimeout = 268,
    MessageSent = 269, // followed by the message text
    MessageFailed = 270,
    AlertShown = 271,
    UpSoundPlayed = 272,
    AlarmSoundsQueued = 274,

    StatusOk = 277,
    StatusPacketLoss = 278,
    StatusDown = 280,
    StatusDisabled = 281,
    StatusUnknown = 399,

    EchoUnknownError = 289, // shown for the echo client's "Unknown error"
    IcmpUp = 290,
    IcmpDown = 291,
    HttpProgress = 292,
    HttpUpEvent = 293, // prefix of the HTTP up event
    HttpDown = 294,
    SnmpProgress = 295,
    SnmpDown = 296,
    SnmpUp = 297,
    LatencyProblem = 298,
    LatencyNormal = 299,
    LatencyAverage = 300, // "average of the last"
    InboundDrop = 301,
    OutboundDrop = 302,
    TrafficThreshold = 303, // the word before a traffic event's threshold
    MonitoringActiveText = 305,
    SoundOff = 322,
    SoundOn = 323,
    ProgramClosed = 334,
    SecondsUnit = 347,
    DaysUnit = 356, // the units of a down time; seconds use line 347
    HoursUnit = 357,
    MinutesUnit = 360,
    LatencySamples = 368,   // "samples:"
    NoHostTypeChosen = 369, // the types dialog's Edit or Delete found no type chosen
    NextCheckIn = 377,
    IcmpProgress = 378,
    NoGroupChosen = 405, // a group action found no group chosen
    NoHostChosen = 406,  // a host action found no host chosen
};
} // namespace LangLine
