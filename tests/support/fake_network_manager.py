#!/usr/bin/python3
# A small NetworkManager for tests, on the bus given by --bus: profiles with
# an id and optional permissions, ActivateConnection that reaches
# "activated" (or "deactivated" with a reason for --failing profiles, or
# stays activating for --slow ones) after a short delay,
# DeactivateConnection, and the ActiveConnections, State and Connectivity
# properties. --loopback adds the externally managed loopback connection
# NetworkManager 1.42 lists as active (it does not make the machine online);
# --wifi a Wi-Fi connection that is up from the start.
# Prints "READY" once its name is owned, then one line per call it served:
# "activate ID", "deactivate ID".
import argparse
import sys

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

NM = "org.freedesktop.NetworkManager"
NM_PATH = "/org/freedesktop/NetworkManager"
SETTINGS = NM + ".Settings"
CONNECTION = SETTINGS + ".Connection"
ACTIVE = NM + ".Connection.Active"
PROPS = "org.freedesktop.DBus.Properties"


def say(line):
    print(line, flush=True)


class Profile(dbus.service.Object):
    def __init__(self, bus, path, ident, permissions, kind="ppp"):
        super().__init__(bus, path)
        self.path = path
        self.ident = ident
        self.permissions = permissions
        self.kind = kind

    @dbus.service.method(CONNECTION, in_signature="", out_signature="a{sa{sv}}")
    def GetSettings(self):
        connection = {"id": dbus.String(self.ident, variant_level=1),
                      "uuid": dbus.String("00000000-0000-0000-0000-%012d" % len(self.ident), variant_level=1),
                      "type": dbus.String(self.kind, variant_level=1),
                      "autoconnect": dbus.Boolean(False, variant_level=1)}
        if self.permissions:
            connection["permissions"] = dbus.Array(self.permissions, signature="s", variant_level=1)
        return {"connection": connection, "ipv4": {"method": dbus.String("auto", variant_level=1)}}


class Active(dbus.service.Object):
    def __init__(self, bus, path, profile):
        super().__init__(bus, path)
        self.path = path
        self.profile = profile
        self.state = 1  # activating

    @dbus.service.signal(ACTIVE, signature="uu")
    def StateChanged(self, state, reason):
        pass

    def settle(self, state, reason):
        self.state = state
        self.StateChanged(dbus.UInt32(state), dbus.UInt32(reason))
        return False

    @dbus.service.method(PROPS, in_signature="ss", out_signature="v")
    def Get(self, interface, name):
        if name == "State":
            return dbus.UInt32(self.state)
        if name == "Id":
            return dbus.String(self.profile.ident)
        raise dbus.exceptions.DBusException("no property " + name, name="org.freedesktop.DBus.Error.UnknownProperty")


class Settings(dbus.service.Object):
    def __init__(self, bus, profiles):
        super().__init__(bus, NM_PATH + "/Settings")
        self.profiles = profiles

    @dbus.service.method(SETTINGS, in_signature="", out_signature="ao")
    def ListConnections(self):
        return [dbus.ObjectPath(p.path) for p in self.profiles]


class Manager(dbus.service.Object):
    def __init__(self, bus, profiles, failing, slow, delay_ms):
        super().__init__(bus, NM_PATH)
        self.bus = bus
        self.profiles = {p.path: p for p in profiles}
        self.failing = failing
        self.slow = slow
        self.delay_ms = delay_ms
        self.active = []
        self.count = 0

    def bring_up(self, profile, settle=True):
        self.count += 1
        active = Active(self.bus, "%s/ActiveConnection/%d" % (NM_PATH, self.count), profile)
        self.active.append(active)
        if not settle:
            active.state = 2
        elif profile.ident in self.slow:
            pass
        elif profile.ident in self.failing:
            def fail():
                active.settle(4, self.failing[profile.ident])
                self.active.remove(active)
                active.remove_from_connection()
                return False
            GLib.timeout_add(self.delay_ms, fail)
        else:
            GLib.timeout_add(self.delay_ms, active.settle, 2, 1)
        return active

    @dbus.service.method(NM, in_signature="ooo", out_signature="o")
    def ActivateConnection(self, connection, device, specific):
        profile = self.profiles.get(str(connection))
        if profile is None:
            raise dbus.exceptions.DBusException("Connection not found",
                                                name=NM + ".Manager.UnknownConnection")
        say("activate " + profile.ident)
        return dbus.ObjectPath(self.bring_up(profile).path)

    @dbus.service.method(NM, in_signature="o", out_signature="")
    def DeactivateConnection(self, path):
        for active in self.active:
            if active.path == str(path):
                say("deactivate " + active.profile.ident)
                self.active.remove(active)
                active.remove_from_connection()
                return
        raise dbus.exceptions.DBusException("Not active", name=NM + ".ConnectionNotActive")

    @dbus.service.method(PROPS, in_signature="ss", out_signature="v")
    def Get(self, interface, name):
        if name == "ActiveConnections":
            return dbus.Array([dbus.ObjectPath(a.path) for a in self.active], signature="o")
        # Connected (global) with full connectivity while a connection other
        # than loopback is activated; disconnected otherwise.
        online = any(a.state == 2 and a.profile.kind != "loopback" for a in self.active)
        if name == "State":
            return dbus.UInt32(70 if online else 20)
        if name == "Connectivity":
            return dbus.UInt32(4 if online else 1)
        raise dbus.exceptions.DBusException("no property " + name, name="org.freedesktop.DBus.Error.UnknownProperty")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bus", required=True)
    parser.add_argument("--profile", action="append", default=[], help="ID or ID=user:NAME,user:OTHER")
    parser.add_argument("--failing", action="append", default=[], help="ID=REASON")
    parser.add_argument("--up", action="append", default=[], help="ID active from the start")
    parser.add_argument("--slow", action="append", default=[], help="ID whose activation never settles")
    parser.add_argument("--loopback", action="store_true")
    parser.add_argument("--wifi", action="store_true")
    parser.add_argument("--delay-ms", type=int, default=50)
    args = parser.parse_args()

    DBusGMainLoop(set_as_default=True)
    bus = dbus.bus.BusConnection(args.bus)
    profiles = []
    for n, spec in enumerate(args.profile):
        ident, _, perms = spec.partition("=")
        profiles.append(Profile(bus, "%s/Settings/%d" % (NM_PATH, n + 1), ident, [p for p in perms.split(",") if p]))
    up = []
    for flag, ident, kind in ((args.loopback, "lo", "loopback"), (args.wifi, "wifi", "802-11-wireless")):
        if flag:
            profiles.append(Profile(bus, "%s/Settings/%d" % (NM_PATH, len(profiles) + 1), ident, [], kind))
            up.append(ident)
    up += args.up
    failing = {k: int(v) for k, _, v in (f.partition("=") for f in args.failing)}
    manager = Manager(bus, profiles, failing, set(args.slow), args.delay_ms)
    Settings(bus, profiles)
    for ident in up:
        manager.bring_up(next(p for p in profiles if p.ident == ident), settle=False)
    name = dbus.service.BusName(NM, bus)  # noqa: F841 (kept while the loop runs)
    say("READY")
    GLib.MainLoop().run()


if __name__ == "__main__":
    sys.exit(main())
