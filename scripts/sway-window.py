#!/usr/bin/python3
"""Reads sway's tree (swaymsg -t get_tree) on stdin and prints one line per
window of process PID: title, app id, floating or tiled, focused or not,
and the content size. Usage: swaymsg -t get_tree | sway-window.py PID"""
import json
import sys

pid = int(sys.argv[1])


def walk(node, floating):
    if node.get("pid") == pid:
        rect = node.get("window_rect") or node.get("rect", {})
        print("\t".join([
            node.get("name") or "",
            node.get("app_id") or "",
            "floating" if floating else "tiled",
            "focused" if node.get("focused") else "unfocused",
            f"{rect.get('width')}x{rect.get('height')}",
        ]))
    for child in node.get("nodes", []):
        walk(child, floating)
    for child in node.get("floating_nodes", []):
        walk(child, True)


walk(json.load(sys.stdin), False)
