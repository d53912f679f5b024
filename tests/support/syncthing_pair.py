"""Two Syncthing instances on this machine that share one folder, for tests of sync conflicts.

  syncthing_pair.py configure HOME NAME GUI_PORT LISTEN_PORT OTHER_ID OTHER_PORT FOLDER
      makes HOME's config.xml talk only to the other instance at 127.0.0.1:OTHER_PORT (no
      discovery, relays, NAT or usage reports) and share FOLDER as "notes"; prints the API key.
  syncthing_pair.py connected GUI_PORT API_KEY
      exits 0 when the instance is connected to its peer.
  syncthing_pair.py ports N
      prints N free TCP ports of 127.0.0.1.
"""
import json
import socket
import sys
import urllib.request
import xml.etree.ElementTree as ET


def configure(home, name, gui_port, listen_port, other_id, other_port, folder):
    path = home + "/config.xml"
    tree = ET.parse(path)
    root = tree.getroot()
    own = root.find("device")
    own_id = own.get("id")
    own.set("name", name)
    gui = root.find("gui")
    gui.find("address").text = "127.0.0.1:%s" % gui_port
    options = root.find("options")
    settings = {
        "listenAddress": "tcp://127.0.0.1:%s" % listen_port,
        "globalAnnounceEnabled": "false",
        "localAnnounceEnabled": "false",
        "relaysEnabled": "false",
        "natEnabled": "false",
        "startBrowser": "false",
        "urAccepted": "-1",
        "crashReportingEnabled": "false",
        "autoUpgradeIntervalH": "0",
        "reconnectionIntervalS": "1",
    }
    for key, value in settings.items():
        element = options.find(key)
        if element is None:
            element = ET.SubElement(options, key)
        element.text = value
    # Only the configured addresses: no announce servers, no STUN.
    for key in ("globalAnnounceServer", "stunServer"):
        for element in options.findall(key):
            element.text = ""
    other = ET.Element("device", {"id": other_id, "name": "peer", "compression": "metadata",
                                  "introducer": "false"})
    ET.SubElement(other, "address").text = "tcp://127.0.0.1:%s" % other_port
    root.insert(list(root).index(own) + 1, other)
    shared = ET.Element("folder", {"id": "notes", "label": "notes", "path": folder,
                                   "type": "sendreceive", "rescanIntervalS": "60",
                                   "fsWatcherEnabled": "true", "fsWatcherDelayS": "1",
                                   "ignorePerms": "false", "autoNormalize": "true"})
    for device in (own_id, other_id):
        ET.SubElement(shared, "device", {"id": device, "introducedBy": ""})
    ET.SubElement(shared, "minDiskFree", {"unit": "%"}).text = "0"
    # A folder made here gets none of the defaults of one made in the GUI: no conflict copies
    # at all without this.
    ET.SubElement(shared, "maxConflicts").text = "10"
    root.insert(0, shared)
    tree.write(path)
    print(gui.find("apikey").text)


def connected(gui_port, api_key):
    request = urllib.request.Request("http://127.0.0.1:%s/rest/system/connections" % gui_port,
                                     headers={"X-API-Key": api_key})
    try:
        with urllib.request.urlopen(request, timeout=5) as answer:
            connections = json.load(answer)["connections"]
    except OSError:
        return False
    return any(c.get("connected") for c in connections.values())


def ports(n):
    sockets = [socket.socket() for _ in range(n)]
    for s in sockets:
        s.bind(("127.0.0.1", 0))
    print(" ".join(str(s.getsockname()[1]) for s in sockets))
    for s in sockets:
        s.close()


if __name__ == "__main__":
    command = sys.argv[1]
    if command == "configure":
        configure(*sys.argv[2:9])
    elif command == "connected":
        sys.exit(0 if connected(*sys.argv[2:4]) else 1)
    elif command == "ports":
        ports(int(sys.argv[2]))
