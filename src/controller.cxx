#include "controller.hxx"

int Controller::privateID = 0;

Controller::Controller() : ID(privateID++) {}
