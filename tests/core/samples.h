#pragma once
// An event and a task with every field set to a value of its own, for the record layouts and
// the round trips through the stores.
#include "core/dataformat.h"
#include "support/testutil.h"

inline TNote SampleEvent() {
  TNote n;
  n.Title = "Dentist – Dr. Ösel";
  n.Category = "Health";
  n.Notes = "Bring the card\r\nand the forms";
  n.StartTime = EncodeTime(9, 30);
  n.EndTime = EncodeTime(10, 15);
  n.AlarmTime = EncodeTime(9, 0);
  n.StartDate = D(2024, 3, 5);
  n.EndDate = D(2024, 9, 1);
  n.ModifyDate = DT(2024, 3, 1, 8, 0);
  n.Span = n.Start = true;
  n.SpanRange = 6;
  n.RangeType = 2;
  n.RangeCount = 7;
  n.RepeatType = 3;
  n.RepeatFrequency = 4;
  n.RepeatDay = 5;
  n.RepeatMonth = 8;
  n.RepeatCardinal = -1;
  n.RepeatMonday = n.RepeatThursday = n.RepeatSunday = true;
  n.Exceptions = {D(2024, 3, 7), D(2024, 3, 21)};
  n.RecurNotes = {{"bring X-rays", D(2024, 3, 18)}, {"second\r\nline", D(2024, 4, 1)}};
  return n;
}

inline TToDo SampleTask() {
  TToDo t;
  t.Title = "File taxes";
  t.Category = "Home";
  t.Notes = {"receipts", QString(), "forms"};
  t.Priority = 1;
  t.Completed = true;
  t.ModifyDate = DT(2024, 3, 1, 9, 0);
  t.DeleteDate = D(2024, 3, 2);
  t.DueDate = D(2024, 4, 15);
  return t;
}
