#!/usr/bin/python3
# "The phone": another CalDAV client (python3-caldav) that changes a calendar the way a phone
# or another desktop program would, each change stamped with LAST-MODIFIED as such clients do.
#
#   phone.py COLLECTION_URL USER PASSWORD COMMAND ARGS...
#     create UID TITLE START END       a timed event (START, END as 2026-12-08T10:00, local)
#     move UID START END               new start and end
#     retitle UID TITLE
#     delete UID
#     create-task UID TITLE
#     complete UID                     the task is done
#     series UID TITLE START           a weekly series of ten from START, its third week
#                                      cancelled and its fourth moved two hours later
#     show UID                         prints the object's iCalendar text
#     uids                             prints the UIDs on the server, one a line
import sys
from datetime import datetime, timedelta, timezone

import caldav
import icalendar


def stamp(component):
    now = datetime.now(timezone.utc).replace(microsecond=0) + timedelta(seconds=1)
    for name in ("LAST-MODIFIED", "DTSTAMP"):
        if name in component:
            del component[name]
        component.add(name, now)


def when(text):
    return datetime.strptime(text, "%Y-%m-%dT%H:%M")


def main(argv):
    url, user, password, command, args = argv[1], argv[2], argv[3], argv[4], argv[5:]
    client = caldav.DAVClient(url=url, username=user, password=password)
    calendar = caldav.Calendar(client=client, url=url)

    def change(uid, edit):
        item = calendar.object_by_uid(uid)
        cal = icalendar.Calendar.from_ical(item.data)
        for component in cal.walk():
            if component.name in ("VEVENT", "VTODO") and str(component.get("UID")) == uid:
                edit(component)
                stamp(component)
        item.data = cal.to_ical().decode()
        item.save()

    def new(kind, uid, fill):
        cal = icalendar.Calendar()
        cal.add("PRODID", "-//phone//EN")
        cal.add("VERSION", "2.0")
        component = icalendar.Event() if kind == "VEVENT" else icalendar.Todo()
        component.add("UID", uid)
        fill(component)
        stamp(component)
        cal.add_component(component)
        return cal

    if command == "create":
        uid, title, start, end = args

        def fill(e):
            e.add("SUMMARY", title)
            e.add("DTSTART", when(start))
            e.add("DTEND", when(end))

        calendar.save_event(new("VEVENT", uid, fill).to_ical().decode())
    elif command == "move":
        uid, start, end = args

        def edit(e):
            for name, value in (("DTSTART", start), ("DTEND", end)):
                del e[name]
                e.add(name, when(value))

        change(uid, edit)
    elif command == "retitle":
        uid, title = args

        def edit(e):
            del e["SUMMARY"]
            e.add("SUMMARY", title)

        change(uid, edit)
    elif command == "delete":
        calendar.object_by_uid(args[0]).delete()
    elif command == "create-task":
        uid, title = args

        def fill(t):
            t.add("SUMMARY", title)
            t.add("STATUS", "NEEDS-ACTION")

        calendar.save_todo(new("VTODO", uid, fill).to_ical().decode())
    elif command == "complete":

        def edit(t):
            del t["STATUS"]
            t.add("STATUS", "COMPLETED")
            t.add("COMPLETED", datetime.now(timezone.utc).replace(microsecond=0))

        change(args[0], edit)
    elif command == "series":
        uid, title, start = args
        first = when(start)
        cal = new("VEVENT", uid, lambda e: None)
        master = cal.subcomponents[0]
        master.add("SUMMARY", title)
        master.add("DTSTART", first)
        master.add("DTEND", first + timedelta(hours=1))
        master.add("RRULE", {"FREQ": "WEEKLY", "COUNT": 10})
        master.add("EXDATE", first + timedelta(weeks=2))
        moved = icalendar.Event()
        moved.add("UID", uid)
        moved.add("RECURRENCE-ID", first + timedelta(weeks=3))
        moved.add("SUMMARY", title + " (moved)")
        moved.add("DTSTART", first + timedelta(weeks=3, hours=2))
        moved.add("DTEND", first + timedelta(weeks=3, hours=3))
        stamp(moved)
        cal.add_component(moved)
        calendar.save_event(cal.to_ical().decode())
    elif command == "show":
        print(calendar.object_by_uid(args[0]).data)
    elif command == "uids":
        for item in calendar.events() + calendar.todos(include_completed=True):
            cal = icalendar.Calendar.from_ical(item.data)
            for component in cal.walk():
                if component.name in ("VEVENT", "VTODO") and "RECURRENCE-ID" not in component:
                    print(component.get("UID"))
    else:
        print("unknown command " + command, file=sys.stderr)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
